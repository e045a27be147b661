#include "scene/scene.h"

#include <algorithm>

#include "scene/box.h"

namespace kova {
namespace {

// Ids are never reused, not even across scenes, so a handle kept from a replaced scene can
// never name a new object.
uint32_t NextId() {
  static uint32_t next = 1;
  return next++;
}

const std::string kScreenName[2] = {std::string("\x01"
                                                "BASE0"),
                                    std::string("\x01"
                                                "BASE1")};

}  // namespace

// ---------------------------------------------------------------------------------------------
// TKovaBase

TKovaBase::TKovaBase(TKovaBaseList* owner, int index) : TKovaControl(owner), index_(index) {
  SetNameRaw(kScreenName[index]);
  SetId(NextId());
}

void TKovaBase::SetSize(int32_t w, int32_t h) {
  width_ = w;
  height_ = h;
  surface_.SetSize(std::max(w, 1), std::max(h, 1), 32);
}

void TKovaBase::AddDirtyRect(const Rect& r) {
  const Rect c = r.Intersect({0, 0, width_, height_});
  if (!c.Empty()) dirty_.Add(c);
}

void TKovaBase::DrawDirty(TCustomDIBX& target) {
  if (!visible_) return;
  const Rect bounds = target.Bounds();
  for (const Rect& d : dirty_.Rects()) {
    const Rect dr = d.Intersect(bounds);
    if (dr.Empty()) continue;
    target.SetUpdateRect(dr);
    if (color_ >= 0) {
      Rect area = ScreenRect();
      if (Rect c = ClipRect(); !c.Empty()) area = area.Intersect(c);
      target.FillRect(area, static_cast<uint32_t>(target.NativeColor(color_)));
    }
    DrawChildren(target);
  }
  target.ClearUpdate();
}

// ---------------------------------------------------------------------------------------------
// TKovaList

bool TKovaList::Add(const TKovaControl& c) {
  if (Contains(c.Id())) return false;
  ids_.push_back(c.Id());
  return true;
}

void TKovaList::Remove(uint32_t id) {
  std::erase(ids_, id);
}

bool TKovaList::Contains(uint32_t id) const {
  return std::find(ids_.begin(), ids_.end(), id) != ids_.end();
}

// ---------------------------------------------------------------------------------------------
// TKovaBaseList

TKovaBaseList::TKovaBaseList(int32_t width, int32_t height)
    : TKovaComponent(nullptr), width_(width), height_(height) {
  SetId(NextId());
  MakeScreens();
}

TKovaBaseList::~TKovaBaseList() = default;

void TKovaBaseList::MakeScreens() {
  for (int i = 0; i < 2; ++i) {
    if (screens_[i]) byId_.erase(screens_[i]->Id());
    auto s = std::make_unique<TKovaBase>(this, i);
    s->SetSize(width_, height_);
    byId_[s->Id()] = s.get();
    screens_[i] = std::move(s);
  }
}

void TKovaBaseList::SetSize(int32_t w, int32_t h) {
  width_ = w;
  height_ = h;
  for (auto& s : screens_) {
    s->SetSize(w, h);
    s->AddFullDirty();
  }
}

void TKovaBaseList::Adopt(std::unique_ptr<TKovaObject> o) {
  // The id comes first, so that a type may enter id lists (right-click closers) in Create.
  // Create names the object directly; the name index counts it below.
  o->SetId(NextId());
  byId_[o->Id()] = o.get();
  o->Create();
  ++names_[o->GetName()];
  if (updateVisit_) updateVisit_->push_back(o->Id());
  objects_.push_back(std::move(o));
}

uint32_t TKovaBaseList::RegisterObject(std::unique_ptr<TKovaObject> obj) {
  TKovaObject* raw = obj.get();
  Adopt(std::move(obj));
  return raw->Id();
}

void TKovaBaseList::NameChanged(const std::string& from, const std::string& to) {
  if (auto it = names_.find(from); it != names_.end() && --it->second <= 0) names_.erase(it);
  ++names_[to];
}

TKovaObject* TKovaBaseList::Get(uint32_t id) const {
  if (id == 0) return nullptr;
  auto it = byId_.find(id);
  return it == byId_.end() ? nullptr : it->second;
}

int TKovaBaseList::IndexOfName(const std::string& name) const {
  if (name.empty() || !names_.contains(name)) return -1;
  for (size_t i = 0; i < objects_.size(); ++i)
    if (objects_[i]->GetName() == name) return static_cast<int>(i);
  return -1;
}

int TKovaBaseList::ListNames(std::vector<std::string>& list, int type,
                             const TKovaObject* parent) const {
  if (!parent) return 0;
  int n = 0;
  for (const auto& o : objects_) {
    if (type != 0 && o->GetCompoType() != type) continue;
    if (parent != this) {
      const TKovaControl* c = o->AsControl();
      if (!c || c->Parent() != parent) continue;
    }
    list.push_back(o->GetName());
    ++n;
  }
  return n;
}

std::string TKovaBaseList::UniqueName(const std::string& prefix) const {
  for (uint64_t n = 0;; ++n) {
    std::string s = prefix + std::to_string(n);
    if (!names_.contains(s)) return s;
  }
}

bool TKovaBaseList::IsPending(const TKovaObject* o) const {
  return std::find(pending_.begin(), pending_.end(), o->Id()) != pending_.end();
}

void TKovaBaseList::MarkPending(TKovaObject* o) {
  if (o->Id() && !IsPending(o)) pending_.push_back(o->Id());
}

TKovaObject* TKovaBaseList::FindObjectByName(const std::string& name) {
  if (name.empty() || name == kScreenName[0]) return &ActiveScreen();
  if (name == "\x01" || name == kScreenName[1]) return screens_[1 - activeIndex_].get();
  if (!names_.contains(name)) return nullptr;
  for (auto& o : objects_)
    if (o->GetName() == name && !IsPending(o.get())) return o.get();
  return nullptr;
}

TKovaControl* TKovaBaseList::FindParent(const std::string& name) {
  if (name.empty()) return &ActiveScreen();
  if (name == "\x01") return screens_[1 - activeIndex_].get();
  if (name == kScreenName[0]) return screens_[0].get();
  if (name == kScreenName[1]) return screens_[1].get();
  if (!names_.contains(name)) return nullptr;
  for (auto& o : objects_)
    if (o->GetName() == name && o->AsControl() && !IsPending(o.get())) return o->AsControl();
  return nullptr;
}

TKovaObject* TKovaBaseList::CreateByType(int type) {
  switch (type & 0x7F) {
    case LT_BOX:
      return Make<TKovaBox>();
    case LT_CABINET:
      return Make<TKovaCabinet>();
    default:
      return nullptr;  // types this build does not have
  }
}

void TKovaBaseList::Forget(TKovaObject* o) {
  const uint32_t id = o->Id();
  if (focus_ == id) {
    focus_ = 0;
    refocus_ = true;
  }
  for (auto& s : screens_)
    if (s->hover == id) s->hover = 0, s->capture = 0;
  rightClickClosers_.Remove(id);
  events_.RemovePendingOf(id);
}

void TKovaBaseList::DeleteObject(TKovaObject* o) {
  if (!o || !Get(o->Id()) || o->AsControl() == screens_[0].get() ||
      o->AsControl() == screens_[1].get())
    return;
  if (TKovaControl* c = o->AsControl()) {
    const std::vector<TKovaControl*> kids = c->children_;
    for (TKovaControl* k : kids)
      DeleteObject(k);
    if (c->parent_) {
      c->Invalidate();
      c->parent_->RemoveChild(c);
      c->parent_ = nullptr;
    }
  }
  Forget(o);
  byId_.erase(o->Id());
  if (auto it = names_.find(o->GetName()); it != names_.end() && --it->second <= 0)
    names_.erase(it);
  auto it = std::find_if(objects_.begin(), objects_.end(),
                         [&](const std::unique_ptr<TKovaObject>& p) { return p.get() == o; });
  if (it != objects_.end()) objects_.erase(it);
}

// ---- Frame phases ----

void TKovaBaseList::KeyEvent(int code, bool down) {
  if (code < 0 || code >= 256 || (keyDown_[code] != 0) == down) return;
  keyDown_[code] = down;
  keyTrigger_[code] = down;
  if (down) {
    keyRepeat_[code] = kRepeatDelay;
    keyDownHappened_ = keyRepeatHappened_ = true;
  } else {
    keyUpHappened_ = true;
  }
}

void TKovaBaseList::ClearKeys() {
  keyDown_.fill(0);
  keyPressAccum_.fill(0);
  keyTrigger_.fill(0);
  keyRepeat_.fill(0);
  keyDownHappened_ = keyUpHappened_ = keyRepeatHappened_ = false;
}

void TKovaBaseList::ApplyInput(const InputFrame& in) {
  if (in.hasMouse)
    for (auto& s : screens_) {
      if (s->mouseX != in.mouseX || s->mouseY != in.mouseY) s->moved = true;
      s->mouseX = in.mouseX, s->mouseY = in.mouseY;
    }
  for (auto [button, down] : in.buttons) {
    // An inactive player takes no presses; releases still apply.
    if (down && !in.active) continue;
    for (auto& s : screens_)
      (button == 0 ? s->leftHeld : s->rightHeld) = down;
    if (down) (button == 0 ? ActiveScreen().leftPressNew : ActiveScreen().rightPressNew) = true;
  }
  if (in.wheel > 0) ActiveScreen().wheelUpNew = true;
  if (in.wheel < 0) ActiveScreen().wheelDownNew = true;
  for (auto [code, down] : in.keys) {
    if (code < 0 || code >= 256) continue;
    if (down && !in.active) continue;
    KeyEvent(code, down);
    if (down) keyPressAccum_[code] = 1;
  }
}

void TKovaBaseList::ProcessInput(const InputFrame& in, int32_t deltaMs) {
  frameDelta_ = deltaMs;
  ApplyInput(in);
  if (refocus_) {
    SetFocus(ActiveScreen().FindFocusTarget());
    refocus_ = false;
  }
  keyPressed_ = keyPressAccum_;
  keyPressAccum_.fill(0);
  keyTriggered_ = keyTrigger_;
  MouseDispatch(ActiveScreen());
  if (TKovaControl* f = Focus(); f && f->HandleKey()) {
    if (keyDownHappened_) f->DoKeyDown();
    if (keyRepeatHappened_ && Get(f->Id())) f->DoKeyRepeat();
    if (keyUpHappened_ && Get(f->Id())) f->DoKeyUp();
  }
  keyDownHappened_ = keyUpHappened_ = keyRepeatHappened_ = false;
  for (int c = 0; c < 256; ++c) {
    if (!keyDown_[c]) continue;
    keyRepeat_[c] -= deltaMs;
    keyTrigger_[c] = keyRepeat_[c] <= 0;
    if (keyRepeat_[c] <= 0) {
      keyRepeat_[c] += kRepeatInterval;
      keyRepeatHappened_ = true;
    }
  }
}

void TKovaBaseList::MouseDispatch(TKovaBase& s) {
  s.leftClick = s.leftPressNew;
  s.rightClick = s.rightPressNew;
  s.wheelDown = s.wheelDownNew;
  s.wheelUp = s.wheelUpNew;
  s.leftPressNew = s.rightPressNew = s.wheelDownNew = s.wheelUpNew = false;

  auto control = [&](uint32_t id) -> TKovaControl* {
    TKovaObject* o = Get(id);
    return o ? o->AsControl() : nullptr;
  };
  // An open menu or map image on this screen takes the right press before anything else.
  if (s.rightClick) {
    const std::vector<uint32_t> closers = rightClickClosers_.Ids();
    for (uint32_t id : closers) {
      TKovaControl* c = control(id);
      if (c && c->GetProp(PR_RCLICKSCRAP).b && c->IsVisible() && c->Screen() == &s &&
          !c->IsPaused() && (c->IgnoreMouse() == 0 || c->IgnoreMouse() == 3) &&
          c->CloseByRightClick()) {
        s.rightClick = false;
        break;
      }
    }
  }
  if (s.capture) {
    if (TKovaControl* h = control(s.hover)) {
      if ((s.capture & TKovaBase::kCaptureLeft) && !s.leftHeld) {
        h->DoLButtonUp();
        s.capture &= ~TKovaBase::kCaptureLeft;
      } else if ((s.capture & TKovaBase::kCaptureRight) && !s.rightHeld) {
        h->DoRButtonUp();
        s.capture &= ~TKovaBase::kCaptureRight;
      }
      if (s.moved && (h = control(s.hover))) h->DoMouseMove();
      if ((h = control(s.hover))) h->CaptureTick();
      s.moved = false;
      return;
    }
  }
  const uint8_t accepted = s.leftClick ? kHitLeft : s.rightClick ? kHitRight : kHitHover;
  TKovaControl* h = s.HitTest({s.mouseX, s.mouseY}, accepted);
  s.capture = 0;
  uint32_t hid = h ? h->Id() : 0;
  ShowCursorFor(s, h);
  if (h) {
    if (s.leftClick) {
      h->DoLButtonDown();
      if ((h = control(hid)) && !h->IsPaused() && h->HandleKey()) SetFocus(h);
    } else if (s.rightClick) {
      h->DoRButtonDown();
    } else if (s.wheelDown || s.wheelUp) {
      const int code = s.wheelDown ? PR_ONWHEELDOWN : PR_ONWHEELUP;
      const std::string& handler = h->Handler(code);
      if (!handler.empty() && !h->IsBusy() && !events_.Has(hid, code))
        events_.Post(hid, handler, {}, static_cast<uint8_t>(code));
    }
    h = control(hid);
    if (!h) hid = 0;
  }
  if (TKovaControl* prev = control(s.hover); prev && s.hover != hid) {
    prev->DoMouseOut();
    h = control(hid);
    if (!h) hid = 0;
  }
  if (h && (s.moved || s.hover != hid)) {
    if (s.hover != hid) h->DoMouseIn();
    if ((h = control(hid))) h->DoMouseMove();
  }
  s.hover = control(hid) ? hid : 0;
  s.moved = false;
}

void TKovaBaseList::ShowCursorFor(TKovaBase& s, const TKovaControl* h) {
  if (!cursorHost_) return;
  // Empty space shows what an object without a cursor of its own shows.
  std::string f = h ? h->GetEffectiveCursor() : std::string();
  if (f.empty()) f = cursorHost_->DefaultCursor();
  if (!f.empty() && f != cursorSlot_ && !failedCursors_.count(f)) {
    if (cursorHost_->LoadCursor(f)) {
      cursorSlot_ = f;
      s.cursorFile = f;
      cursorCustom_ = true;
      cursorHost_->ShowCustom(true);
      return;
    }
    failedCursors_.insert(f);
  }
  // A file that failed to load leaves the slot showing whatever it held.
  const bool custom = !f.empty();
  if (custom != cursorCustom_) {
    cursorCustom_ = custom;
    cursorHost_->ShowCustom(custom);
  }
}

bool TKovaBaseList::Update() {
  for (auto& s : screens_)
    s->Update();  // their motion only; a screen is never deleted
  std::vector<uint32_t> visit;
  visit.reserve(objects_.size());
  for (auto& o : objects_)
    visit.push_back(o->Id());
  updateVisit_ = &visit;
  for (size_t i = 0; i < visit.size(); ++i) {
    TKovaObject* o = Get(visit[i]);
    if (!o) continue;  // deleted earlier in this pass
    const uint32_t id = o->Id();
    // Paused objects post no idle events either.
    if (!o->OnIdle().empty() && !o->IsInCabinet() && !o->IsBusy() && !o->IsPaused() &&
        !events_.Has(id, PR_ONIDLE))
      events_.Post(id, o->OnIdle(), {}, PR_ONIDLE);
    if (o->IsPaused() || IsPending(o) || o->IsInCabinet()) continue;
    if (o->Update()) DeleteObject(o);
  }
  updateVisit_ = nullptr;
  const std::vector<uint32_t> pending = std::move(pending_);
  pending_.clear();
  for (uint32_t id : pending)
    DeleteObject(Get(id));
  return false;
}

void TKovaBaseList::Draw(TCustomDIBX& display) {
  transitionRect_ = {};
  for (int i = 0; i < 2; ++i) {
    TKovaBase& s = *screens_[i];
    s.DrawDirty(i == activeIndex_ && !transition_ ? display : s.Surface());
  }
  if (transition_) {
    transition_->Step();
    transitionRect_ = transition_->UpdateRect();
  }
}

void TKovaBaseList::StartTransition(int index, int kind, int32_t reverse, bool force,
                                    int32_t progress, int32_t duration) {
  activeIndex_ = index & 1;
  if (force || (kind != 0 && !transition_)) {
    transition_.reset();
    for (auto& s : screens_)
      s->AddFullDirty();
    if (kind != 0 && display_) {
      // The active screen has been painting into the display; its own picture catches up.
      TKovaBase& active = ActiveScreen();
      active.Surface().Assign(*display_);
      transition_ =
          CreateWipe(kind, *display_, active.Surface(), GetScreen(1 - activeIndex_).Surface());
      if (transition_) {
        transition_->duration = duration;
        transition_->SetReverse(static_cast<uint8_t>(reverse != 0));
        transition_->progress = 0;
        transition_->Prepare();
      }
    }
    TKovaControl* f = Focus();
    if (!f || f->Screen() != &ActiveScreen()) {
      focus_ = 0;
      refocus_ = true;
    }
  }
  transitionActive_ = static_cast<uint8_t>(kind);
  if (transition_) transition_->progress = progress;
}

void TKovaBaseList::ClearDirty() {
  for (auto& s : screens_)
    s->DirtyRects().Clear();
}

TKovaControl* TKovaBaseList::Focus() const {
  TKovaObject* o = Get(focus_);
  return o ? o->AsControl() : nullptr;
}

void TKovaBaseList::SetFocus(TKovaControl* c) {
  const uint32_t id = c ? c->Id() : 0;
  if (id == focus_) return;
  if (TKovaControl* old = Focus();
      old && !old->GetName().empty() && !old->Handler(PR_ONFOCUSOUT).empty() && !old->IsBusy())
    events_.Post(old->Id(), old->Handler(PR_ONFOCUSOUT), {}, PR_ONFOCUSOUT);
  focus_ = id;
  if (c && !c->Handler(PR_ONFOCUSIN).empty() && !c->IsBusy())
    events_.Post(id, c->Handler(PR_ONFOCUSIN), {}, PR_ONFOCUSIN);
  refocus_ = false;
  if (c) c->FocusGained();
}

// ---- SceneLink ----

std::string TKovaBaseList::ObjectName(uint32_t id) {
  TKovaObject* o = Get(id);
  return o ? o->GetName() : std::string();
}

uint32_t TKovaBaseList::FindObject(std::string_view name) {
  TKovaObject* o = FindObjectByName(std::string(name));
  return o ? o->Id() : 0;
}

// ---- Persistence ----

void TKovaBaseList::Reset() {
  transition_.reset();
  transitionActive_ = 0;
  events_.Clear();
  while (!objects_.empty()) {
    TKovaObject* o = objects_.front().get();
    // Children go with their parent; detach first so that the order does not matter.
    DeleteObject(o);
  }
  pending_.clear();
  rightClickClosers_.Clear();
  int32_t mx = screens_[0]->mouseX, my = screens_[0]->mouseY;
  MakeScreens();
  for (auto& s : screens_) {
    s->mouseX = mx, s->mouseY = my;
    s->AddFullDirty();
  }
  focus_ = 0;
  refocus_ = true;
}

void TKovaBaseList::SaveToStream(ByteWriter& w) const {
  w.I32(width_);
  w.I32(height_);
  w.I32(activeIndex_);
  screens_[0]->SaveToStream(w);
  screens_[1]->SaveToStream(w);
  std::vector<const TKovaObject*> comps;
  for (auto& o : objects_)
    if (!o->AsControl() && !IsPending(o.get()) && o->GetCompoType() != LT_NONE &&
        !IsInternalName(o->GetName()))
      comps.push_back(o.get());
  w.I32(static_cast<int32_t>(comps.size()));
  for (const TKovaObject* o : comps) {
    w.U8(static_cast<uint8_t>(o->GetCompoType()));
    o->SaveToStream(w);
  }
  events_.SaveToStream(w, *this);
  TKovaControl* f = Focus();
  WriteSceneString(w, f ? f->GetName() : std::string());
}

void TKovaBaseList::LoadFromStream(ByteReader& r, int version, int) {
  TKovaBaseList fresh(width_, height_);
  const size_t sizeAt = r.Pos();
  const int32_t w = r.I32(), h = r.I32();
  if (w != width_ || h != height_)
    r.FailAt(sizeAt, "scene size " + std::to_string(w) + "x" + std::to_string(h) +
                         " differs from the title's");
  const size_t activeAt = r.Pos();
  fresh.activeIndex_ = r.I32();
  if (fresh.activeIndex_ != 0 && fresh.activeIndex_ != 1)
    r.FailAt(activeAt, "active screen " + std::to_string(fresh.activeIndex_));
  for (auto& s : fresh.screens_)
    s->LoadFromStream(r, version, 0);
  for (auto& s : fresh.screens_) {
    s->SetNameRaw(kScreenName[s->Index()]);
    s->SetSize(width_, height_);
    s->AddFullDirty();
  }
  const uint32_t n = r.Count(static_cast<uint32_t>(r.I32()), 1 + 4 + 4, "component");
  for (uint32_t i = 0; i < n; ++i) {
    const size_t at = r.Pos();
    const int type = r.U8() & 0x7F;
    TKovaObject* o = IsControlType(type) ? nullptr : fresh.CreateByType(type);
    if (!o) r.FailAt(at, "bad component type " + std::to_string(type));
    o->LoadFromStream(r, version, 0);
  }
  fresh.events_.LoadFromStream(r, version, fresh);
  if (version > 118) {
    if (TKovaControl* f = fresh.FindParent(ReadSceneString(r)); f && !f->IsScreen()) {
      fresh.focus_ = f->Id();
      fresh.refocus_ = false;
    }
  }
  TakeOver(fresh);
  if (TKovaControl* f = Focus()) f->FocusGained();
}

void TKovaBaseList::TakeOver(TKovaBaseList& other) {
  for (int i = 0; i < 2; ++i) {
    other.screens_[i]->mouseX = screens_[i]->mouseX;
    other.screens_[i]->mouseY = screens_[i]->mouseY;
    other.screens_[i]->leftHeld = screens_[i]->leftHeld;
    other.screens_[i]->rightHeld = screens_[i]->rightHeld;
  }
  std::swap(screens_, other.screens_);
  std::swap(objects_, other.objects_);
  std::swap(byId_, other.byId_);
  std::swap(names_, other.names_);
  std::swap(pending_, other.pending_);
  std::swap(activeIndex_, other.activeIndex_);
  std::swap(focus_, other.focus_);
  std::swap(refocus_, other.refocus_);
  // A loaded scene starts without a transition; the old one drew over the old screens.
  transition_.reset();
  transitionActive_ = 0;
  events_.SwapItems(other.events_);  // the observer stays with this scene
  rightClickClosers_.Swap(other.rightClickClosers_);
  // Films find their control through its scene.
  auto own = [](TKovaBaseList* scene, TKovaObject& o) {
    o.owner_ = scene;
    if (TKovaControl* c = o.AsControl(); c && c->GetMotion())
      c->GetMotion()->Film().SetMotionControl(scene, c->Id());
  };
  for (auto& s : screens_)
    own(this, *s);
  for (auto& o : objects_)
    own(this, *o);
  for (auto& s : other.screens_)
    own(&other, *s);
  for (auto& o : other.objects_)
    own(&other, *o);
}

}  // namespace kova
