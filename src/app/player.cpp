#include "app/player.h"

#include <cmath>
#include <cstdio>
#include <deque>
#include <fstream>

#include "common/cp932.h"
#include "expr/convert.h"
#include "expr/datetime.h"
#include "platform/clock.h"
#include "platform/discs.h"
#include "platform/scripted_prompt.h"
#include "platform/sdl_prompt.h"
#include "script/project.h"
#include "vfs/file_stream.h"

namespace kova {

namespace fs = std::filesystem;

namespace {

void JsonString(std::string& out, const std::string& utf8) {
  out += '"';
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

void JsonElement(std::string& out, const TCustomParam& v, int i) {
  switch (v.TypeCode()) {
    case kTypeInt:
      out += std::to_string(v.GetIntAt(i));
      break;
    case kTypeFloat: {
      // The engine's own text form is valid JSON except for its exponent marker.
      std::string t = FloatToText(v.GetFloatAt(i));
      for (char& ch : t)
        if (ch == 'E') ch = 'e';
      out += t;
      break;
    }
    case kTypeFlag:
      out += v.GetBoolAt(i) ? "true" : "false";
      break;
    default:
      JsonString(out, cp932::ToUtf8(v.GetStrAt(i)));
      break;
  }
}

std::optional<long double> ParseDate(const std::string& text) {
  int y, mo, d, h, mi, s;
  if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6)
    return std::nullopt;
  long double day = 0, time = 0;
  if (!TryEncodeDate(y, mo, d, day) || !TryEncodeTime(h, mi, s, 0, time)) return std::nullopt;
  return day + time;
}

}  // namespace

std::string VariablesJson(const TParamCollection& vars) {
  std::string out = "{";
  bool first = true;
  for (int i = 0; i < vars.Count(); ++i) {
    const TParamCollectionItem& item = vars.At(i);
    if (item.IsSystem() || item.Name().empty()) continue;
    out += first ? "\n  " : ",\n  ";
    first = false;
    JsonString(out, cp932::ToUtf8(item.Name()));
    out += ": ";
    const TCustomParam& v = item.Value();
    if (v.Dims().empty()) {
      JsonElement(out, v, 0);
    } else {
      out += '[';
      for (int k = 0; k < v.Count(); ++k) {
        if (k) out += ", ";
        JsonElement(out, v, k);
      }
      out += ']';
    }
  }
  out += first ? "}\n" : "\n}\n";
  return out;
}

int RunPlayer(const PlayerOptions& o) {
  std::FILE* traceOut = nullptr;
  if (!o.traceFile.empty()) {
    traceOut = std::fopen(o.traceFile.c_str(), "w");
    if (!traceOut) throw Error("cannot write " + o.traceFile.string());
  }
  struct Closer {
    std::FILE* f;
    ~Closer() {
      if (f) std::fclose(f);
    }
  } closeTrace{traceOut};
  Trace trace(traceOut);

  const auto date = ParseDate(o.date);
  if (!date) throw Error("--date needs YYYY-MM-DDTHH:MM:SS, not " + o.date);

  // Questions go to message boxes on a desktop, else to the scripted answers.
  ScriptedPrompt scripted(std::deque<PromptAnswer>(o.answers.begin(), o.answers.end()), stderr);
  SdlPrompt desktop;
  Prompt& prompt = !o.headless && SdlPrompt::Available() ? static_cast<Prompt&>(desktop) : scripted;
  MountedDiscs discs(o.discRoots);
  TVrFileManager files(prompt, discs);
  ShellClock clock;
  ScriptSysVars sysVars(clock, *date);
  TParamCollection vars(&sysVars);
  TSysFuncMan funcs;
  funcs.SetRandomSeed(o.seed);
  funcs.SetFileAccess(&files);
  SimpleEventQueue events;
  SceneLink scene;

  // Registration fixes the search order: memory first, then the title's archives.
  files.AddArchive("");
  ProjectOptions po;
  po.exeFolder = o.exePath.parent_path();
  if (o.folders.empty()) {
    files.SetBaseFolder(po.exeFolder);
    po.saveFile = po.exeFolder / "save.dat";
    // The program itself may carry the title.
    try {
      TNxBigFileStream self(o.exePath, TNxBigFileStream::Mode::kRead);
      char tail[2] = {};
      if (self.Size() >= 6) {
        self.SetPosition(self.Size() - 2);
        self.Read(tail, 2);
      }
      if (tail[0] == 'k' && tail[1] == 'v') files.AddArchive(o.exePath);
    } catch (const Error&) {
    }
  } else {
    po.folderGiven = true;
    files.SetBaseFolder(o.folders.front());
    po.saveFile = o.folders.front() / "save.dat";
    for (const fs::path& f : o.folders)
      if (DiskFolder(f).Exists("game.dat")) files.AddArchive(*DiskFolder(f).Resolve("game.dat"));
  }

  TProject project(files, vars, funcs, events, scene, clock, trace, po);
  if (project.Failed()) {
    std::fprintf(stderr, "kova play: %s\n", project.FailureMessage().c_str());
    return 1;
  }
  sysVars.Attach(project.CallMan(), &project.File());

  auto dumpVars = [&](const fs::path& p) {
    const std::string json = VariablesJson(vars);
    WriteFileAtomic(p, AsBytes(json));
  };

  // Headless frames are exactly --step long; otherwise play time follows the wall clock, a
  // frame longer than 3000 ms counts as none, and frames are padded to the frame period.
  constexpr int32_t kFramePeriod = 16;
  uint64_t last = o.headless ? 0 : MonotonicMs();
  int64_t frame = 0;
  while (!clock.terminating && (!o.frames || frame < *o.frames)) {
    ++frame;
    int32_t delta = o.stepMs;
    if (!o.headless) {
      const uint64_t now = MonotonicMs();
      const uint64_t elapsed = now - last;
      last = now;
      delta = elapsed > 3000 ? 0 : static_cast<int32_t>(elapsed);
    }
    clock.frameDelta = delta;
    clock.gameClock += delta;
    ++clock.frameCount;
    files.Locks().AgeLocks(clock.frameDelta);
    files.Locks().FlushDeleteList();
    project.RunFrame();
    project.ProcessPending();
    for (const auto& [at, path] : o.dumpVarsAt)
      if (at == frame) dumpVars(path);
    if (!o.headless && project.File().frameSleep) {
      const uint64_t spent = MonotonicMs() - last;
      if (spent < kFramePeriod) SleepMs(static_cast<uint32_t>(kFramePeriod - spent));
    }
  }
  project.RunExitPage();
  if (!o.dumpVarsAtExit.empty()) dumpVars(o.dumpVarsAtExit);
  return 0;
}

}  // namespace kova
