// The system variables that read the scene: mouse, wheel and keys of the current screen.
#pragma once

#include <functional>

#include "scene/scene.h"
#include "script/project.h"

namespace kova {

class SceneSysVars : public ScriptSysVars {
 public:
  SceneSysVars(ShellClock& clock, long double startDate, TKovaBaseList& scene)
      : ScriptSysVars(clock, startDate), scene_(scene) {}

  int32_t ReadInt(int index) override;
  void WriteInt(int index, int32_t v) override;
  // @KeyPush, @KeyClick, @KeyRepeat: keys 0..255, then 256 wheel down and 257 wheel up.
  bool KeyState(int index, int k) override;
  // @ActiveCompo: the focused control's name; writing a name moves the focus there when that
  // control can take it.
  std::string ReadStr(int index) override;
  void WriteStr(int index, const std::string& v) override;

  // @FullScr reads and switches the display; without a display the value is only kept.
  std::function<bool()> readFullScreen;
  std::function<void(bool)> setFullScreen;
  // @DisplayModeCount and @DisplayModeIndex: the suitable full-screen modes and the chosen one;
  // an index outside the list is ignored.
  int32_t displayModeCount = 0;
  int32_t displayModeIndex = -1;

 private:
  TKovaBaseList& scene_;
  bool fullScreen_ = false;
};

}  // namespace kova
