// The player's shell: start-up in order, the frame loop, shutdown.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/prompt.h"

namespace kova {

class TParamCollection;

struct PlayerOptions {
  std::vector<std::filesystem::path> folders;  // the folder parameters; empty: beside the program
  std::filesystem::path exePath;               // the running program
  bool headless = false;
  std::optional<int64_t> frames;  // stop after this many frames
  int32_t stepMs = 16;            // game time per frame when headless
  std::filesystem::path traceFile;
  std::filesystem::path dumpVarsAtExit;
  std::vector<std::pair<int64_t, std::filesystem::path>> dumpVarsAt;  // after frame N
  std::vector<PromptAnswer> answers;
  std::vector<std::filesystem::path> discRoots;
  uint32_t seed = 0;
  std::string date = "2000-01-01T00:00:00";  // the clock date functions read, headless
  std::filesystem::path inputFile;           // scripted input: FRAME EVENT [ARGS] per line
  std::vector<std::pair<int64_t, std::filesystem::path>> screenshots;  // after frame N, PNG
  std::vector<std::pair<int64_t, std::filesystem::path>> dumpSceneAt;  // after frame N, JSON
  std::filesystem::path eventLog;
  // One line per change of the mouse cursor shown: FRAME custom FILE, FRAME arrow, FRAME failed
  // FILE.
  std::filesystem::path cursorLog;
};

// One line of scripted input, applied before the input phase of its frame.
struct ScriptedInput {
  int64_t frame = 0;
  std::string event;  // move ldown lup rdown rup wheel keydown keyup deactivate activate
  int32_t a = 0, b = 0;
};
// Parses the scripted input text; errors name the line.
std::vector<ScriptedInput> ParseScriptedInput(const std::string& text);

// The exit code of a player started while another one runs the same title folder.
inline constexpr int kExitAlreadyRunning = 3;

// Plays a title; returns the process exit code (0 after Terminate or the frame limit).
int RunPlayer(const PlayerOptions& options);

// Every variable but the system ones, as a JSON object (names and strings in UTF-8).
std::string VariablesJson(const TParamCollection& vars);

}  // namespace kova
