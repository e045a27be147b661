// Scene objects: the root class with name, tag and priority, components registered in a scene,
// and controls with geometry, parents, children and mouse and key handlers. Objects refer to
// each other across frames only by id; the scene checks the id before every use.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/geometry.h"
#include "scene/motion.h"
#include "scene/props.h"
#include "script/callman.h"

namespace kova {

class TCustomDIBX;
class TKovaBaseList;
class TKovaBase;
class TKovaControl;

// Saves above this nesting of children are refused as damaged.
inline constexpr int kMaxSceneDepth = 1000;
// The data version the player writes.
inline constexpr int kSceneDataVersion = 134;

// Names starting with this byte belong to objects the player makes for itself.
inline bool IsInternalName(std::string_view n) {
  return !n.empty() && n[0] == '\x01';
}

// Sets of IgnoreMouse values a hit test accepts.
enum HitClass : uint8_t {
  kHitLeft = (1 << 0) | (1 << 4),
  kHitRight = (1 << 0) | (1 << 3),
  kHitHover = (1 << 0) | (1 << 2) | (1 << 3) | (1 << 4),
};

class TKovaObject {
 public:
  explicit TKovaObject(TKovaBaseList* owner) : owner_(owner) {}
  virtual ~TKovaObject() = default;
  TKovaObject(const TKovaObject&) = delete;
  TKovaObject& operator=(const TKovaObject&) = delete;

  // Names and registers the object with its owner; the scene's factory calls it once the object
  // is fully constructed.
  virtual void Create();

  uint32_t Id() const { return id_; }
  void SetId(uint32_t id) { id_ = id; }
  TKovaBaseList* Owner() const { return owner_; }
  virtual int GetCompoType() const { return LT_NONE; }
  virtual TKovaControl* AsControl() { return nullptr; }
  const TKovaControl* AsControl() const { return const_cast<TKovaObject*>(this)->AsControl(); }

  const std::string& GetName() const { return name_; }
  virtual void SetName(const std::string& name);
  // Stores a name without any clash handling (auto names, loads, renamed victims).
  void SetNameRaw(std::string name);
  const std::string& GetTag() const { return tag_; }
  void SetTag(std::string t) { tag_ = std::move(t); }
  int32_t GetPriority() const { return priority_; }
  int32_t GetSubPriority() const { return subPriority_; }
  void SetPriority(int32_t p);
  void SetSubPriority(int32_t p);

  // Asks the scene to delete the object at the end of the update and frees its name now.
  void Scrap();
  bool IsScrapped() const { return scrapped_; }

  // Property access by code; unsupported codes answer the catalogue's default and ignore writes.
  virtual PropValue GetProp(int code);
  virtual void SetProp(int code, const PropValue& v);

  virtual bool IsPaused() const { return false; }
  virtual bool IsBusy() const { return false; }
  virtual bool IsInCabinet() const { return false; }
  virtual const std::string& OnIdle() const;
  // Per-frame work; true asks the scene to delete the object now.
  virtual bool Update() { return false; }
  virtual void Invalidate() {}
  virtual bool WantsAutoName() const { return true; }
  // Attaches a motion played from a frame-list file (controls only).
  virtual void StartMotion(const std::string& file) {}
  virtual void RestartMotion() {}
  // Offered a right press first when registered as a right-click closer; true consumes it.
  virtual bool CloseByRightClick() { return false; }

  virtual void SaveToStream(ByteWriter& w) const;
  virtual void LoadFromStream(ByteReader& r, int version, int depth);

 protected:
  TKovaBaseList* owner_;

 private:
  friend class TKovaBaseList;
  uint32_t id_ = 0;
  std::string name_, tag_;
  int32_t priority_ = 0, subPriority_ = 0;
  bool scrapped_ = false;
};

// An object registered in a scene. Non-visual components rename by scrapping the holder.
class TKovaComponent : public TKovaObject {
 public:
  using TKovaObject::TKovaObject;
  void SetName(const std::string& name) override;
};

// Negative when a is drawn before (below) b.
int CompareDrawOrder(const TKovaControl& a, const TKovaControl& b);

class TKovaControl : public TKovaComponent {
  friend class TKovaBaseList;

 public:
  using TKovaComponent::TKovaComponent;
  ~TKovaControl() override = default;
  void Create() override;

  TKovaControl* AsControl() override { return this; }
  void SetName(const std::string& name) override;
  PropValue GetProp(int code) override;
  void SetProp(int code, const PropValue& v) override;

  // ---- Tree ----
  TKovaControl* Parent() const { return parent_; }
  const std::vector<TKovaControl*>& Children() const { return children_; }
  // Moves the control under p (nil: detached); refuses itself and its descendants.
  virtual void SetParent(TKovaControl* p);
  void SortChildren();
  bool IsAncestorOf(const TKovaControl* c) const;
  virtual bool IsScreen() const { return false; }
  virtual bool IsCabinet() const { return false; }
  bool IsInCabinet() const override;
  // The screen the control lies on (nil when detached).
  TKovaBase* Screen();

  // ---- Geometry ----
  int32_t Left() const { return left_; }
  int32_t Top() const { return top_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  void SetLeft(int32_t v);
  void SetTop(int32_t v);
  void SetWidth(int32_t v);
  void SetHeight(int32_t v);
  void SetOffsetX(int32_t v);
  void SetOffsetY(int32_t v);
  void SetBounds(int32_t l, int32_t t, int32_t w, int32_t h);
  void SetClip(int which, int32_t v);
  void SetPlus(bool y, int32_t v);
  virtual int32_t ZoomX() const { return 256; }
  virtual int32_t ZoomY() const { return 256; }
  virtual bool FlipH() const { return false; }
  virtual bool FlipV() const { return false; }
  virtual int32_t ScrollX() const { return 0; }
  virtual int32_t ScrollY() const { return 0; }
  // Pictures: the size of the own picture surface (0 for types without one).
  virtual bool HasPictureSurface() const { return false; }
  virtual int32_t SurfaceWidth() const { return 0; }
  virtual int32_t SurfaceHeight() const { return 0; }
  bool HasMotion() const { return motion_ != nullptr; }
  int32_t ScreenLeft() const;
  int32_t ScreenTop() const;
  Rect ScreenRect() const;
  // Empty when the control does not clip.
  Rect ClipRect() const;

  // ---- State ----
  bool OwnVisible() const { return visible_; }
  // Own flag set and the parent exists and is visible.
  virtual bool IsVisible() const;
  void SetVisible(bool v);
  int32_t Color() const { return color_; }
  void SetColor(int32_t c);
  uint8_t IgnoreMouse() const { return ignoreMouse_; }
  bool HandleKey() const { return handleKey_; }
  void SetHandleKey(bool v);
  bool AniPaused() const;
  const std::string& Cursor() const { return cursor_; }
  int32_t MotionX() const { return motionX_; }
  int32_t MotionY() const { return motionY_; }
  // Film tracks place the control here while a motion is attached.
  void SetMotionPos(int32_t x, int32_t y);

  // ---- Motion ----
  TKovaMotion* GetMotion() const { return motion_.get(); }
  // Replaces any motion by one from the file. Without a film loader nothing is attached; a
  // loader's error reaches the caller and leaves no motion.
  void StartMotion(const std::string& file) override;
  void RestartMotion() override;
  // Frees the motion; the control returns to its own position and sub-priority.
  void DiscardMotion();
  // Advances the motion; at its end the control asks to be deleted (AutoScrap) or posts
  // OnPlayEnd.
  bool Update() override;
  // What the type stores for its playback (none for a plain control).
  virtual bool RepeatOn() const { return false; }
  virtual bool AutoScrapOn() const { return false; }
  virtual const std::string& OnPlayEnd() const;

  // ---- Drawing ----
  void Invalidate() override;
  void InvalidateRect(Rect r);
  virtual void ChildInvalidated(const Rect& r);
  bool ClipChildRect(Rect& r) const;
  virtual void Draw(TCustomDIBX& target);
  void DrawChildren(TCustomDIBX& target);

  // ---- Input ----
  TKovaControl* HitTest(Point p, uint8_t accepted);
  TKovaControl* FindFocusTarget();
  virtual void DoLButtonDown();
  virtual void DoRButtonDown();
  virtual void DoLButtonUp();
  virtual void DoRButtonUp();
  virtual void DoMouseMove();
  virtual void DoMouseIn();
  virtual void DoMouseOut();
  virtual void DoKeyDown();
  virtual void DoKeyUp();
  virtual void DoKeyRepeat();
  virtual void CaptureTick() {}
  virtual void FocusGained() {}
  virtual const std::string& GetEffectiveCursor() const { return cursor_; }
  const std::string& Handler(int code) const;

  void SaveToStream(ByteWriter& w) const override;
  void LoadFromStream(ByteReader& r, int version, int depth) override;

 protected:
  // Posts (self, handler, [x, y] or nothing, code) when the handler is set.
  void PostMouse(int code, bool withPos);
  void PostKey(int code);
  void RemoveChild(TKovaControl* c);

  TKovaControl* parent_ = nullptr;
  std::vector<TKovaControl*> children_;
  int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0, offsetX_ = 0, offsetY_ = 0;
  bool visible_ = true;
  int32_t color_ = 0;
  int32_t reserved_[4] = {0, 0, 1, 1};
  // Handlers indexed by kHandlerCodes order.
  std::string handlers_[14];
  uint8_t ignoreMouse_ = 0;
  std::string cursor_;
  bool posZoomed_ = false;
  int32_t clip_[4] = {0, 0, 0, 0};
  int32_t motionX_ = 0, motionY_ = 0, plusX_ = 0, plusY_ = 0;
  bool aniPaused_ = false, handleKey_ = false;
  std::unique_ptr<TKovaMotion> motion_;

 private:
  int32_t Axis(bool vertical, bool withParent) const;
};

// An invisible container: never drawn; what lies inside is neither updated nor drawn.
class TKovaCabinet : public TKovaControl {
 public:
  using TKovaControl::TKovaControl;
  int GetCompoType() const override { return LT_CABINET; }
  bool IsCabinet() const override { return true; }
  bool IsVisible() const override { return false; }
  void Draw(TCustomDIBX&) override {}
};

// The scene's event queue: records in posting order, each with its sender's id and code.
class TTimerList : public EventQueue {
 public:
  void Post(uint32_t sender, const std::string& handler, std::vector<std::string> args,
            uint8_t code);
  // First record of that sender and code, whatever its level.
  const QueuedEvent* FindPending(uint32_t sender, uint8_t code) const;
  bool Has(uint32_t sender, uint8_t code) const { return FindPending(sender, code) != nullptr; }
  void RemovePendingOf(uint32_t sender);

  QueuedEvent* FirstPending() override;
  void RemoveLevel(int32_t level) override;
  void RemoveRunning() override;
  void Remove(const QueuedEvent& e) override;
  void Clear() override { items_.clear(); }
  void Start(QueuedEvent& e, int32_t level) override {
    e.level = level;
    Note("start", e);
  }

  const std::list<QueuedEvent>& Items() const { return items_; }
  void SwapItems(TTimerList& o) { items_.swap(o.items_); }
  size_t Size() const { return items_.size(); }

  // The sender is stored by name and found again by name when reading.
  void SaveToStream(ByteWriter& w, const TKovaBaseList& scene) const;
  void LoadFromStream(ByteReader& r, int version, TKovaBaseList& scene);

  // Sees every record as it is posted or removed (the event log).
  using Observer = std::function<void(const char* what, const QueuedEvent&)>;
  void SetObserver(Observer o) { observer_ = std::move(o); }

 private:
  void Note(const char* what, const QueuedEvent& e) {
    if (observer_) observer_(what, e);
  }
  std::list<QueuedEvent> items_;
  Observer observer_;
};

// Handler property codes a control holds, in the order of its handler slots.
inline constexpr int kHandlerCodes[14] = {
    PR_ONMOUSEMOVE, PR_ONMOUSEIN,   PR_ONMOUSEOUT,  PR_ONLBTNDOWN, PR_ONLBTNUP,
    PR_ONRBTNDOWN,  PR_ONRBTNUP,    PR_ONWHEELDOWN, PR_ONWHEELUP,  PR_ONKEYDOWN,
    PR_ONKEYUP,     PR_ONKEYREPEAT, PR_ONFOCUSIN,   PR_ONFOCUSOUT};
int HandlerSlot(int code);  // -1 when the code is not a control handler

// Strings of saves: i32 length then bytes; lengths of 0 or less are empty.
std::string ReadSceneString(ByteReader& r);
void WriteSceneString(ByteWriter& w, const std::string& s);

}  // namespace kova
