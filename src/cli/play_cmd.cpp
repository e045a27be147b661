#include <unistd.h>

#include <climits>
#include <cstdio>

#include "app/player.h"
#include "cli/args.h"
#include "cli/commands.h"

namespace kova::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: kova play [DIR...] [--headless] [--frames N] [--step MS] [--trace FILE]\n"
    "                 [--dump-vars FILE] [--dump-vars FRAME:FILE]... [--answer ok|cancel]...\n"
    "                 [--disc-root DIR]... [--seed N] [--date YYYY-MM-DDTHH:MM:SS]\n"
    "                 [--input FILE] [--screenshot FRAME:FILE.png]... [--dump-scene "
    "FRAME:FILE]...\n"
    "                 [--event-log FILE] [--cursor-log FILE]\n"
    "\n"
    "Plays a title. DIR... are the title's folders (each may hold a game.dat; the first is also\n"
    "where save.dat lives). Without one the player looks beside itself and in the title\n"
    "appended to it.\n"
    "  --headless     no window; every frame is exactly --step milliseconds of game time\n"
    "  --frames N     stop after N frames\n"
    "  --trace FILE   write every executed command to FILE\n"
    "  --dump-vars    write the variables as JSON at exit (FILE) or after frame FRAME\n"
    "  --answer       answers to the player's questions in order (then Cancel, OK, ...)\n"
    "  --input FILE   scripted input, one 'FRAME EVENT [ARGS]' per line: move X Y, ldown, lup,\n"
    "                 rdown, rup, wheel up|down, keydown VK, keyup VK, deactivate, activate\n"
    "  --screenshot   the screen after frame FRAME as a PNG\n"
    "  --dump-scene   the scene objects and their properties as JSON after frame FRAME\n"
    "  --event-log    one line per queued event: frame, post/done/drop, sender, code, handler,\n"
    "                 arguments\n"
    "  --cursor-log   one line per change of the mouse cursor shown: FRAME custom FILE,\n"
    "                 FRAME arrow, or FRAME failed FILE for a cursor file that cannot be loaded";

int64_t Number(const std::string& text, const char* what, int64_t min, int64_t max) {
  try {
    size_t used = 0;
    const long long v = std::stoll(text, &used);
    if (used == text.size() && v >= min && v <= max) return v;
  } catch (const std::exception&) {
  }
  throw UsageError(std::string(what) + " needs a number from " + std::to_string(min) + " to " +
                   std::to_string(max));
}

fs::path SelfPath() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return fs::path(std::string(buf, static_cast<size_t>(n)));
}

}  // namespace

int RunPlay(std::span<char* const> argv) {
  Args args(argv, kUsage);
  if (args.WantsHelp()) return std::puts(kUsage), 0;
  PlayerOptions o;
  o.exePath = SelfPath();
  o.headless = args.Flag("headless");
  if (auto f = args.Option("frames")) o.frames = Number(*f, "--frames", 0, INT64_MAX);
  if (auto s = args.Option("step")) o.stepMs = static_cast<int32_t>(Number(*s, "--step", 1, 3000));
  if (auto t = args.Option("trace")) o.traceFile = *t;
  for (const std::string& d : args.Options("dump-vars")) {
    const size_t colon = d.find(':');
    if (colon != std::string::npos && colon > 0 && d.find_first_not_of("0123456789") == colon)
      o.dumpVarsAt.emplace_back(Number(d.substr(0, colon), "--dump-vars FRAME", 0, INT64_MAX),
                                d.substr(colon + 1));
    else
      o.dumpVarsAtExit = d;
  }
  auto framed = [&](const char* name) {
    std::vector<std::pair<int64_t, fs::path>> out;
    for (const std::string& d : args.Options(name)) {
      const size_t colon = d.find(':');
      if (colon == std::string::npos || colon == 0 || colon + 1 == d.size())
        throw UsageError(std::string("--") + name + " needs FRAME:FILE");
      out.emplace_back(Number(d.substr(0, colon), name, 0, INT64_MAX), d.substr(colon + 1));
    }
    return out;
  };
  o.screenshots = framed("screenshot");
  o.dumpSceneAt = framed("dump-scene");
  if (auto f = args.Option("input")) o.inputFile = *f;
  if (auto f = args.Option("event-log")) o.eventLog = *f;
  if (auto f = args.Option("cursor-log")) o.cursorLog = *f;
  for (const std::string& a : args.Options("answer")) {
    if (a == "ok")
      o.answers.push_back(PromptAnswer::kOk);
    else if (a == "cancel")
      o.answers.push_back(PromptAnswer::kCancel);
    else
      throw UsageError("--answer takes ok or cancel");
  }
  for (const std::string& r : args.Options("disc-root"))
    o.discRoots.emplace_back(r);
  if (auto s = args.Option("seed"))
    o.seed = static_cast<uint32_t>(Number(*s, "--seed", 0, UINT32_MAX));
  if (auto d = args.Option("date")) o.date = *d;
  while (auto dir = args.NextIf())
    o.folders.emplace_back(*dir);
  args.Done();
  return RunPlayer(o);
}

}  // namespace kova::cli
