#include "app/player.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <fstream>

#include "app/settings.h"
#include "common/cp932.h"
#include "common/json.h"
#include "expr/convert.h"
#include "expr/datetime.h"
#include "gfx/codecs.h"
#include "gfx/cursor.h"
#include "gfx/dibx.h"
#include "gfx/screen_manager.h"
#include "platform/clock.h"
#include "platform/discs.h"
#include "platform/display_modes.h"
#include "platform/instance_lock.h"
#include "platform/scripted_prompt.h"
#include "platform/sdl_cursor.h"
#include "platform/sdl_prompt.h"
#include "platform/sdl_window.h"
#include "scene/scene.h"
#include "scene/scene_commands.h"
#include "scene/scene_dump.h"
#include "scene/scene_sysvars.h"
#include "script/project.h"
#include "vfs/file_stream.h"

namespace kova {

namespace fs = std::filesystem;

namespace {

void JsonString(std::string& out, const std::string& utf8) {
  AppendJsonString(out, utf8);
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

// The screen bitmap as a 24-bit picture, pixel for pixel.
Bytes ScreenPng(const TDIBX& screen) {
  TDIBSurface pic(screen.Width(), screen.Height(), 24);
  for (int32_t y = 0; y < screen.Height(); ++y)
    for (int32_t x = 0; x < screen.Width(); ++x)
      pic.SetPixel(x, y, screen.GetPixel(x, y) & 0xFFFFFF);
  return WritePng(pic);
}

// Presents into the window's texture.
class WindowTarget : public TPresentTarget {
 public:
  explicit WindowTarget(SdlWindow& w) : window_(w) {}
  void Present(const TDIBX& picture, std::span<const Rect> rects) override {
    window_.Present([&](int32_t y) { return reinterpret_cast<const uint32_t*>(picture.Row(y)); },
                    std::vector<Rect>(rects.begin(), rects.end()));
  }

 private:
  SdlWindow& window_;
};

// The scene's cursor slot. Files come from the title and are decoded even without a window, so
// that headless runs see the same failures.
class PlayerCursors : public CursorHost {
 public:
  PlayerCursors(TVrFileManager& files, TParamCollection& vars, std::FILE* log, const int64_t& frame)
      : files_(files), vars_(vars), log_(log), frame_(frame) {}
  void SetDisplay(SdlCursor* display) { display_ = display; }

  bool LoadCursor(const std::string& file) override {
    bool ok = false;
    try {
      if (std::optional<Bytes> data = files_.ReadFile(file)) {
        const CursorImage c = ReadCursor(*data, cp932::ToUtf8(file));
        ok = !display_ || display_->Load(c.width, c.height, c.hotX, c.hotY, c.rgba.data());
      }
    } catch (const Error&) {
      // A cursor that cannot be read is not reported; the slot keeps what it held.
    }
    if (ok)
      slot_ = file;
    else
      Log("failed " + cp932::ToUtf8(file));
    return ok;
  }

  void ShowCustom(bool custom) override {
    custom_ = custom;
    if (display_) display_->Show(custom);
    const std::string now = custom_ && !slot_.empty() ? "custom " + cp932::ToUtf8(slot_) : "arrow";
    if (now != shown_) {
      shown_ = now;
      Log(now);
    }
  }

  std::string DefaultCursor() override { return vars_.cursor; }

 private:
  void Log(const std::string& line) {
    if (log_) std::fprintf(log_, "%lld %s\n", static_cast<long long>(frame_), line.c_str());
  }

  TVrFileManager& files_;
  TParamCollection& vars_;
  std::FILE* log_;
  const int64_t& frame_;
  SdlCursor* display_ = nullptr;
  std::string slot_;
  bool custom_ = false;
  std::string shown_ = "arrow";  // what the log last said; the system arrow at start
};

}  // namespace

std::vector<ScriptedInput> ParseScriptedInput(const std::string& text) {
  std::vector<ScriptedInput> out;
  size_t pos = 0;
  for (int line = 1; pos < text.size(); ++line) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string l = text.substr(pos, end - pos);
    pos = end + 1;
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (l.find_first_not_of(" \t") == std::string::npos || l[l.find_first_not_of(" \t")] == '#')
      continue;
    auto fail = [&](const std::string& why) -> void {
      throw Error("input line " + std::to_string(line) + ": " + why + ": " + l);
    };
    ScriptedInput in;
    long long frame = 0;
    char ev[32] = {}, arg1[32] = {};
    int a = 0, b = 0;
    const int n = std::sscanf(l.c_str(), "%lld %31s %31s %d", &frame, ev, arg1, &b);
    if (n < 2 || frame < 1) fail("needs FRAME EVENT");
    in.frame = frame;
    in.event = ev;
    const bool hasA = n >= 3 && std::sscanf(arg1, "%d", &a) == 1;
    if (in.event == "move") {
      if (!hasA || n < 4) fail("move needs X Y");
      in.a = a, in.b = b;
    } else if (in.event == "keydown" || in.event == "keyup") {
      if (!hasA || a < 0 || a > 255) fail("needs a key code 0-255");
      in.a = a;
    } else if (in.event == "wheel") {
      const std::string dir = n >= 3 ? arg1 : "";
      if (dir != "up" && dir != "down") fail("wheel needs up or down");
      in.a = dir == "up" ? 1 : -1;
    } else if (in.event != "ldown" && in.event != "lup" && in.event != "rdown" &&
               in.event != "rup" && in.event != "deactivate" && in.event != "activate") {
      fail("unknown event");
    }
    out.push_back(in);
  }
  return out;
}

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

  // One player per title folder (the first folder named, else the program's own folder).
  InstanceLock lock;
  {
    std::error_code ec;
    const fs::path folder = o.folders.empty() ? o.exePath.parent_path() : o.folders.front();
    const fs::path canonical = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    if (!lock.Acquire(InstanceLock::KeyOf((ec ? folder : canonical).string()))) {
      std::fprintf(stderr, "kova play: another player is already running %s\n", folder.c_str());
      return kExitAlreadyRunning;
    }
  }

  // Questions go to message boxes on a desktop, else to the scripted answers.
  ScriptedPrompt scripted(std::deque<PromptAnswer>(o.answers.begin(), o.answers.end()), stderr);
  SdlPrompt desktop;
  Prompt& prompt = !o.headless && SdlPrompt::Available() ? static_cast<Prompt&>(desktop) : scripted;
  MountedDiscs discs(o.discRoots);
  TVrFileManager files(prompt, discs);
  ShellClock clock;
  TKovaBaseList scene(640, 480);
  SceneSysVars sysVars(clock, *date, scene);
  TParamCollection vars(&sysVars);
  TSysFuncMan funcs;
  funcs.SetRandomSeed(o.seed);
  funcs.SetFileAccess(&files);
  RegisterSceneCommands(CommandFactory::Instance());
  RegisterSceneFunctions(funcs, scene);
  std::vector<ScriptedInput> input;
  if (!o.inputFile.empty()) {
    std::ifstream f(o.inputFile, std::ios::binary);
    if (!f) throw Error("cannot read " + o.inputFile.string());
    input = ParseScriptedInput(std::string(std::istreambuf_iterator<char>(f), {}));
  }
  std::FILE* eventOut = nullptr;
  if (!o.eventLog.empty()) {
    eventOut = std::fopen(o.eventLog.c_str(), "w");
    if (!eventOut) throw Error("cannot write " + o.eventLog.string());
  }
  Closer closeEvents{eventOut};
  std::FILE* cursorOut = nullptr;
  if (!o.cursorLog.empty()) {
    cursorOut = std::fopen(o.cursorLog.c_str(), "w");
    if (!cursorOut) throw Error("cannot write " + o.cursorLog.string());
  }
  Closer closeCursors{cursorOut};
  int64_t frame = 0;
  PlayerCursors cursors(files, vars, cursorOut, frame);
  scene.SetCursorHost(&cursors);
  if (eventOut)
    scene.Events().SetObserver([&](const char* what, const QueuedEvent& e) {
      // A sender that is gone (or has no name) shows as "-", so every line splits alike.
      std::string sender = cp932::ToUtf8(scene.ObjectName(e.sender));
      if (sender.empty()) sender = "-";
      std::string line = std::to_string(frame) + " " + what + " " + sender + " " +
                         std::to_string(e.code) + " " + cp932::ToUtf8(e.handler);
      for (const std::string& a : e.args)
        line += " " + cp932::ToUtf8(a);
      std::fprintf(eventOut, "%s\n", line.c_str());
    });

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

  TProject project(files, vars, funcs, scene.Events(), scene, clock, trace, po);
  if (project.Failed()) {
    std::fprintf(stderr, "kova play: %s\n", project.FailureMessage().c_str());
    return 1;
  }
  sysVars.Attach(project.CallMan(), &project.File());
  const int32_t width = project.File().screenWidth > 0 ? project.File().screenWidth : 640;
  const int32_t height = project.File().screenHeight > 0 ? project.File().screenHeight : 480;
  scene.SetSize(width, height);
  TScreenManager screens(width, height);
  TDIBX& screen = screens.BackBuffer();
  scene.SetDisplay(&screen);
  TMemoryPresentTarget memoryTarget(width, height);
  screens.SetTarget(&memoryTarget);
  bool active = true;
  // A desktop window when one can be opened; otherwise the run goes on headless.
  std::unique_ptr<SdlWindow> window;
  std::unique_ptr<WindowTarget> windowTarget;
  if (!o.headless) {
    const fs::path settingsFolder = o.folders.empty() ? po.exeFolder : o.folders.front();
    const auto settingsFile = DiskFolder(settingsFolder).Resolve("game.ini");
    const GameSettings settings = settingsFile ? LoadGameSettings(*settingsFile) : GameSettings();
    try {
      window = std::make_unique<SdlWindow>(cp932::ToUtf8(project.File().title), width, height,
                                           settings.integerScaling);
    } catch (const Error& e) {
      std::fprintf(stderr, "kova play: %s; playing without a window\n", e.what());
    }
  }
  // Declared after the window so that it goes first; the scene forgets the host before both.
  std::unique_ptr<SdlCursor> cursorDisplay;
  struct Unplug {
    TKovaBaseList& scene;
    ~Unplug() { scene.SetCursorHost(nullptr); }
  } unplug{scene};
  if (window) {
    windowTarget = std::make_unique<WindowTarget>(*window);
    screens.SetTarget(windowTarget.get());
    cursorDisplay = std::make_unique<SdlCursor>();
    cursors.SetDisplay(cursorDisplay.get());
    // Full screen is the desktop's own mode, letterboxed; the list of modes is what scripts see.
    int32_t desktopBits = 24;
    const auto listed = EnumerateDisplayModes(&desktopBits);
    const auto choice = ChooseDisplayModes(listed, width, height, project.File().fullScreenWidth,
                                           project.File().fullScreenHeight, desktopBits);
    sysVars.displayModeCount = static_cast<int32_t>(choice.modes.size());
    sysVars.displayModeIndex = choice.preferred;
    sysVars.readFullScreen = [&] { return window->FullScreen(); };
    sysVars.setFullScreen = [&](bool on) { window->SetFullScreen(on); };
  }
  size_t nextInput = 0;

  auto dumpVars = [&](const fs::path& p) {
    const std::string json = VariablesJson(vars);
    WriteFileAtomic(p, AsBytes(json));
  };

  // What the window and the scripted input saw since the last turn of the loop.
  auto gatherInput = [&]() {
    InputFrame in;
    for (; nextInput < input.size() && input[nextInput].frame <= frame; ++nextInput) {
      const ScriptedInput& e = input[nextInput];
      if (e.frame < frame) continue;
      if (e.event == "move") {
        in.hasMouse = true, in.mouseX = e.a, in.mouseY = e.b;
      } else if (e.event == "ldown" || e.event == "lup") {
        in.buttons.emplace_back(0, e.event == "ldown");
      } else if (e.event == "rdown" || e.event == "rup") {
        in.buttons.emplace_back(1, e.event == "rdown");
      } else if (e.event == "wheel") {
        in.wheel = e.a;
      } else if (e.event == "keydown" || e.event == "keyup") {
        in.keys.emplace_back(e.a, e.event == "keydown");
      } else if (e.event == "deactivate") {
        active = false;
        scene.ClearKeys();
      } else if (e.event == "activate") {
        active = true;
      }
    }
    if (window) {
      for (const InputEvent& e : window->Poll()) {
        switch (e.kind) {
          case InputEvent::kMove:
            in.hasMouse = true, in.mouseX = e.x, in.mouseY = e.y;
            break;
          case InputEvent::kButtonDown:
          case InputEvent::kButtonUp:
            if (e.button <= 2) {
              in.hasMouse = true, in.mouseX = e.x, in.mouseY = e.y;
              in.buttons.emplace_back(e.button - 1, e.kind == InputEvent::kButtonDown);
            }
            break;
          case InputEvent::kWheel:
            in.wheel = e.wheel;
            break;
          case InputEvent::kKeyDown:
            in.keys.emplace_back(e.vk, true);
            break;
          case InputEvent::kKeyUp:
            in.keys.emplace_back(e.vk, false);
            break;
          case InputEvent::kActivate:
            active = true;
            break;
          case InputEvent::kDeactivate:
            active = false;
            scene.ClearKeys();
            break;
          case InputEvent::kClose: {
            const std::string& title = project.File().title;
            const std::string question = cp932::FromUtf8("「").value_or("") + title +
                                         cp932::FromUtf8("」を終了しますか？").value_or("");
            if (prompt.Ask(question, title, PromptIcon::kQuestion, PromptButtons::kOkCancel) ==
                PromptAnswer::kOk)
              clock.terminating = true;
            break;
          }
        }
      }
    }
    in.active = active;
    return in;
  };

  // The frame after a game load is not drawn.
  int32_t skipDraw = 0;
  auto frameStep = [&](const InputFrame& in) {
    files.Locks().AgeLocks(clock.frameDelta);
    files.Locks().FlushDeleteList();
    scene.ProcessInput(in, clock.frameDelta);
    project.RunFrame();
    if (clock.terminating) return;
    scene.Update();
    ++clock.frameCount;
    if (project.ProcessPending()) skipDraw = 1;
    if (skipDraw > 0) {
      --skipDraw;
      return;
    }
    scene.Draw(screen);
    if (!screens.Present(scene.ActiveScreen().DirtyRects().Rects(), scene.TransitionRect()) &&
        window)
      window->Present([&](int32_t y) { return reinterpret_cast<const uint32_t*>(screen.Row(y)); },
                      {});  // nothing changed, but the window still repaints its dock
    scene.ClearDirty();
  };

  // Each turn of the loop is one frame of --frames, --input and the dumps. Headless frames are
  // exactly --step long; otherwise play time follows the wall clock, a turn longer than
  // 3000 ms runs no frame, and frames are padded to the frame period. An inactive player runs
  // no frames and its time does not count.
  constexpr int32_t kFramePeriod = 16;
  uint64_t last = o.headless ? 0 : MonotonicMs();
  while (!clock.terminating && (!o.frames || frame < *o.frames)) {
    ++frame;
    const bool wasActive = active;
    const InputFrame in = gatherInput();
    if (!o.headless && active && !wasActive) last = MonotonicMs();
    bool run = active && !clock.terminating;
    if (run) {
      int32_t delta = o.stepMs;
      if (!o.headless) {
        const uint64_t now = MonotonicMs();
        const uint64_t elapsed = now - last;
        last = now;
        run = elapsed <= 3000;
        delta = static_cast<int32_t>(std::min<uint64_t>(elapsed, 3000));
      }
      clock.frameDelta = delta;
      if (run) clock.gameClock += delta;
    }
    if (run) {
      frameStep(in);
    } else {
      scene.ApplyInput(in);
      if (!o.headless && !active) SleepMs(kFramePeriod);
    }
    for (const auto& [at, path] : o.dumpVarsAt)
      if (at == frame) dumpVars(path);
    if (run && !o.headless && project.File().frameSleep) {
      const uint64_t spent = MonotonicMs() - last;
      SleepMs(static_cast<uint32_t>(std::max<int64_t>(2, kFramePeriod - int64_t(spent))));
    }
    for (const auto& [at, path] : o.screenshots)
      if (at == frame) WriteFileAtomic(path, ScreenPng(screen));
    for (const auto& [at, path] : o.dumpSceneAt)
      if (at == frame) WriteFileAtomic(path, AsBytes(SceneJson(scene)));
  }
  project.RunExitPage();
  if (!o.dumpVarsAtExit.empty()) dumpVars(o.dumpVarsAtExit);
  return 0;
}

}  // namespace kova
