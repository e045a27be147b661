#include "scene/scene_sysvars.h"

namespace kova {

int32_t SceneSysVars::ReadInt(int index) {
  TKovaBase& s = scene_.ActiveScreen();
  switch (index) {
    case kSysLClick:
      return s.leftClick;
    case kSysRClick:
      return s.rightClick;
    case kSysLPush:
      return s.leftHeld;
    case kSysRPush:
      return s.rightHeld;
    case kSysMouseX:
      return s.mouseX;
    case kSysMouseY:
      return s.mouseY;
    case kSysWheelDown:
      return s.wheelDown;
    case kSysWheelUp:
      return s.wheelUp;
    case kSysFullScr:
      return readFullScreen ? readFullScreen() : fullScreen_;
    case kSysDisplayModeCount:
      return displayModeCount;
    case kSysDisplayModeIndex:
      return displayModeIndex;
    default:
      return ScriptSysVars::ReadInt(index);
  }
}

void SceneSysVars::WriteInt(int index, int32_t v) {
  TKovaBase& s = scene_.ActiveScreen();
  switch (index) {
    case kSysLClick:
      s.leftClick = v != 0;
      break;
    case kSysRClick:
      s.rightClick = v != 0;
      break;
    case kSysFullScr:
      fullScreen_ = v != 0;
      if (setFullScreen) setFullScreen(fullScreen_);
      break;
    case kSysDisplayModeIndex:
      if (v >= 0 && v < displayModeCount) displayModeIndex = v;
      break;
    default:
      ScriptSysVars::WriteInt(index, v);
  }
}

bool SceneSysVars::KeyState(int index, int k) {
  TKovaBase& s = scene_.ActiveScreen();
  if (k == 256) return s.wheelDown;
  if (k == 257) return s.wheelUp;
  switch (index) {
    case kSysKeyPush:
      return scene_.IsKeyDown(k);
    case kSysKeyClick:
      return scene_.WasKeyPressed(k);
    case kSysKeyRepeat:
      return scene_.WasKeyTriggered(k);
    default:
      return false;
  }
}

std::string SceneSysVars::ReadStr(int index) {
  if (index == kSysActiveCompo) {
    TKovaControl* f = scene_.Focus();
    return f ? f->GetName() : std::string();
  }
  return ScriptSysVars::ReadStr(index);
}

void SceneSysVars::WriteStr(int index, const std::string& v) {
  if (index != kSysActiveCompo) return ScriptSysVars::WriteStr(index, v);
  if (v.empty()) return;
  TKovaObject* o = scene_.FindObjectByName(v);
  TKovaControl* c = o ? o->AsControl() : nullptr;
  // The same conditions under which the scene itself would hand the control the focus.
  if (!c || c->IsScreen() || !c->IsVisible() || !c->HandleKey() || c->IsPaused() ||
      c->Screen() != &scene_.ActiveScreen())
    return;
  scene_.SetFocus(c);
}

}  // namespace kova
