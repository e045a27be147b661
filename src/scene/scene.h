// The scene root: two full-screen layers, the registry of every object, deferred deletion, the
// event queue, input state, focus, and the per-frame input, update and draw phases.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/clip_list.h"
#include "gfx/dibx.h"
#include "gfx/wipe.h"
#include "scene/cursor_host.h"
#include "scene/object.h"

namespace kova {

// One of the two full-screen layers.
class TKovaBase : public TKovaControl {
 public:
  TKovaBase(TKovaBaseList* owner, int index);
  bool IsScreen() const override { return true; }
  bool IsVisible() const override { return visible_; }
  void SetParent(TKovaControl*) override {}
  void SetName(const std::string&) override {}
  void ChildInvalidated(const Rect& r) override { AddDirtyRect(r); }
  int Index() const { return index_; }

  void AddDirtyRect(const Rect& r);
  TClipList& DirtyRects() { return dirty_; }
  void AddFullDirty() { AddDirtyRect({0, 0, width_, height_}); }
  // Repaints every dirty rectangle into the target.
  void DrawDirty(TCustomDIBX& target);
  TDIBX& Surface() { return surface_; }
  void SetSize(int32_t w, int32_t h);

  // Mouse state of this layer.
  int32_t mouseX = 0, mouseY = 0;
  bool leftPressNew = false, leftClick = false, rightPressNew = false, rightClick = false;
  bool leftHeld = false, rightHeld = false, moved = false;
  uint8_t capture = 0;  // kCaptureLeft | kCaptureRight
  uint32_t hover = 0;   // object id
  bool wheelDownNew = false, wheelDown = false, wheelUpNew = false, wheelUp = false;
  std::string cursorFile;  // the last cursor file this layer loaded into the shell's slot
  static constexpr uint8_t kCaptureLeft = 4, kCaptureRight = 8;

 private:
  int index_;
  TClipList dirty_;
  TDIBX surface_;
};

// Controls without duplicates, held by id so that a deleted control is simply skipped.
class TKovaList {
 public:
  // False when the control is already in the list.
  bool Add(const TKovaControl& c);
  void Remove(uint32_t id);
  bool Contains(uint32_t id) const;
  const std::vector<uint32_t>& Ids() const { return ids_; }
  void Clear() { ids_.clear(); }
  void Swap(TKovaList& o) { ids_.swap(o.ids_); }

 private:
  std::vector<uint32_t> ids_;
};

// What the shell saw since the last frame; the scene latches it in its input phase.
struct InputFrame {
  bool active = true;
  bool hasMouse = false;
  int32_t mouseX = 0, mouseY = 0;
  std::vector<std::pair<int, bool>> buttons;  // (0 left / 1 right, down)
  int wheel = 0;                              // >0 up, <0 down
  std::vector<std::pair<int, bool>> keys;     // (virtual-key code, down); OS repeats removed
};

class TKovaBaseList : public TKovaComponent, public SceneLink {
 public:
  static constexpr int32_t kRepeatDelay = 300, kRepeatInterval = 50;

  TKovaBaseList(int32_t width, int32_t height);
  ~TKovaBaseList() override;

  TKovaBase& GetScreen(int i) { return *screens_[i & 1]; }
  TKovaBase& ActiveScreen() { return *screens_[activeIndex_]; }
  int ActiveIndex() const { return activeIndex_; }
  int32_t SceneWidth() const { return width_; }
  int32_t SceneHeight() const { return height_; }
  void SetSize(int32_t w, int32_t h);
  TTimerList& Events() { return events_; }

  // ---- Registry ----
  uint32_t RegisterObject(std::unique_ptr<TKovaObject> obj);
  TKovaObject* Get(uint32_t id) const;
  bool IsRegistered(uint32_t id) const { return Get(id) != nullptr; }
  int GetObjectCount() const { return static_cast<int>(objects_.size()); }
  TKovaObject* GetObject(int i) const { return objects_[i].get(); }
  int IndexOfName(const std::string& name) const;
  std::string UniqueName(const std::string& prefix) const;
  // Appends the names of registered objects in registration order: of one type code when
  // `type` is not 0, and only the children of `parent` unless it is the scene itself. Returns
  // the number appended (none for a nil parent).
  int ListNames(std::vector<std::string>& list, int type, const TKovaObject* parent) const;
  bool IsPending(const TKovaObject* o) const;
  void MarkPending(TKovaObject* o);
  TKovaObject* FindObjectByName(const std::string& name);
  TKovaControl* FindParent(const std::string& name);
  // A new registered object of the type (nil for codes that name no class); no parent.
  TKovaObject* CreateByType(int type);
  template <typename T, typename... A>
  T* Make(A&&... a) {
    auto o = std::make_unique<T>(this, std::forward<A>(a)...);
    T* raw = o.get();
    Adopt(std::move(o));
    return raw;
  }
  // Deletes now: children first, then the object leaves its parent and the registry.
  void DeleteObject(TKovaObject* o);

  // ---- Frame phases ----
  // Takes what the window saw into the mouse and key state (also between frames while the
  // player is inactive); the input phase latches it.
  void ApplyInput(const InputFrame& in);
  void ProcessInput(const InputFrame& in, int32_t deltaMs);
  // Always false: the scene itself is never deleted by its update.
  bool Update() override;
  // Repaints the dirty areas: the active screen paints straight into the display unless a
  // transition runs; then both paint into their own pictures and the transition composes the
  // display.
  void Draw(TCustomDIBX& display);
  // Swaps the screens without a transition and repaints both.
  void Flip() { StartTransition(1 - activeIndex_, 0, 0, true, 0, 0); }
  void ClearDirty();

  // ---- Transitions ----
  // The picture the main scene shows (the display back buffer); transitions draw into it.
  void SetDisplay(TCustomDIBX* display) { display_ = display; }
  // Makes screen `index` active; with `force`, or a non-zero kind while none runs, discards the
  // running transition, repaints both screens and starts a transition of that kind (reversed by
  // `reverse`) from the active screen's picture to the other's.
  void StartTransition(int index, int kind, int32_t reverse, bool force, int32_t progress,
                       int32_t duration);
  int32_t TransitionDuration() const { return transition_ ? transition_->duration : 0; }
  void SetTransitionProgress(int32_t ms) {
    if (transition_) transition_->progress = ms;
  }
  bool TransitionRunning() const { return transition_ != nullptr; }
  uint8_t TransitionActive() const { return transitionActive_; }
  // The area the transition repainted in the last draw; empty when none ran.
  const Rect& TransitionRect() const { return transitionRect_; }
  // The elapsed time of the current frame (set by the input phase); motions advance by it.
  int32_t FrameDelta() const { return frameDelta_; }
  void SetFrameDelta(int32_t ms) { frameDelta_ = ms; }

  // ---- Right-click closers ----
  // Types that close on a right press (map images, menus) add themselves when created and
  // remove themselves when destroyed; deleted controls also leave the list.
  void AddRightClickCloser(TKovaControl& c) { rightClickClosers_.Add(c); }
  void RemoveRightClickCloser(TKovaControl& c) { rightClickClosers_.Remove(c.Id()); }
  const TKovaList& RightClickClosers() const { return rightClickClosers_; }

  // ---- Focus and keys ----
  TKovaControl* Focus() const;
  void SetFocus(TKovaControl* c);
  void RequestRefocus() { refocus_ = true; }
  bool RefocusRequested() const { return refocus_; }
  // Sets the focus without focus events.
  void SetFocusQuiet(TKovaControl* c) { focus_ = c ? c->Id() : 0; }
  bool IsKeyDown(int code) const { return code >= 0 && code < 256 && keyDown_[code]; }
  bool WasKeyPressed(int code) const { return code >= 0 && code < 256 && keyPressed_[code]; }
  bool WasKeyTriggered(int code) const { return code >= 0 && code < 256 && keyTriggered_[code]; }
  void KeyEvent(int code, bool down);
  void ClearKeys();

  // ---- Cursor ----
  // The shell's cursor slot; none (the default) leaves cursors alone.
  void SetCursorHost(CursorHost* host) { cursorHost_ = host; }

  // ---- Persistence ----
  void SaveToStream(ByteWriter& w) const override;
  // Reads into a fresh scene and takes it over only when the whole record is sound.
  void LoadFromStream(ByteReader& r, int version, int depth) override;
  void Reset() override;

  // ---- SceneLink ----
  std::string ObjectName(uint32_t id) override;
  uint32_t FindObject(std::string_view name) override;

  // Forgets an object that is going away (hover, focus, queue).
  void Forget(TKovaObject* o);
  // Keeps the name index in step with every name change of a registered object.
  void NameChanged(const std::string& from, const std::string& to);

 private:
  void Adopt(std::unique_ptr<TKovaObject> o);
  void MouseDispatch(TKovaBase& s);
  // Shows the cursor of the object under the mouse (nil: nothing there).
  void ShowCursorFor(TKovaBase& s, const TKovaControl* h);
  void TakeOver(TKovaBaseList& other);
  void MakeScreens();

  int32_t width_, height_;
  int activeIndex_ = 0;
  std::unique_ptr<TKovaBase> screens_[2];
  std::vector<std::unique_ptr<TKovaObject>> objects_;
  std::unordered_map<uint32_t, TKovaObject*> byId_;
  std::unordered_map<std::string, int> names_;
  std::vector<uint32_t> pending_;
  std::vector<uint32_t>* updateVisit_ = nullptr;  // objects the running update still visits
  TTimerList events_;
  TCustomDIBX* display_ = nullptr;
  std::unique_ptr<TCustomWipe> transition_;
  uint8_t transitionActive_ = 0;
  Rect transitionRect_;
  TKovaList rightClickClosers_;
  int32_t frameDelta_ = 0;
  uint32_t focus_ = 0;
  bool refocus_ = true;
  std::array<uint8_t, 256> keyDown_{}, keyPressAccum_{}, keyPressed_{}, keyTrigger_{},
      keyTriggered_{};
  std::array<int32_t, 256> keyRepeat_{};
  bool keyDownHappened_ = false, keyUpHappened_ = false, keyRepeatHappened_ = false;
  // One slot serves both layers, so what it holds and whether it is shown are kept here.
  CursorHost* cursorHost_ = nullptr;
  std::string cursorSlot_;
  bool cursorCustom_ = false;
  std::set<std::string> failedCursors_;  // tried once; never reloaded every frame
};

}  // namespace kova
