// Plays a title written in the source form: builds DIR/src into DIR/out and runs it headless,
// collecting the variables at exit and, when asked, the event and cursor logs.
#pragma once

#include <string>

#include "app/player.h"
#include "authoring/title_build.h"
#include "testutil/temp_dir.h"

namespace kova::test {

// Logs a run may keep besides the variables.
enum TitleLogs : unsigned { kNoLogs = 0, kEventLog = 1, kCursorLog = 2 };

struct TitleResult {
  int code = -1;
  std::string vars, events, cursors;
};

inline std::string TextOf(const std::filesystem::path& p) {
  if (!std::filesystem::exists(p)) return {};
  const Bytes b = ReadFileBytes(p);
  return std::string(b.begin(), b.end());
}

inline TitleResult PlaySourceTitle(const TempDir& dir, int64_t frames,
                                   const std::string& input = {}, unsigned logs = kNoLogs) {
  authoring::BuildTitle({dir / "src", dir / "out", std::nullopt});
  PlayerOptions o;
  o.folders = {dir / "out"};
  o.headless = true;
  o.frames = frames;
  if (!input.empty()) o.inputFile = dir.Write("input.txt", input);
  o.dumpVarsAtExit = dir / "vars.json";
  if (logs & kEventLog) o.eventLog = dir / "events.txt";
  if (logs & kCursorLog) o.cursorLog = dir / "cursor.txt";
  TitleResult r;
  r.code = RunPlayer(o);
  r.vars = TextOf(dir / "vars.json");
  r.events = TextOf(dir / "events.txt");
  r.cursors = TextOf(dir / "cursor.txt");
  return r;
}

}  // namespace kova::test
