#include "scene/object.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "common/cp932.h"
#include "common/lists.h"
#include "gfx/dibx.h"
#include "scene/scene.h"

namespace kova {
namespace {

int32_t Sat(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The counter that follows the last '_' of a name (at character position 2 or later), when
// it reads as a number above 1.
bool SplitCounter(const std::string& name, std::string& stem, int64_t& counter) {
  size_t pos = cp932::FindLastChar(name, '_');
  if (pos == std::string::npos || pos < 1) return false;
  std::string_view tail = std::string_view(name).substr(pos + 1);
  int64_t n = 0;
  auto [p, ec] = std::from_chars(tail.data(), tail.data() + tail.size(), n);
  if (tail.empty() || ec != std::errc() || p != tail.data() + tail.size() || n <= 1) return false;
  stem = name.substr(0, pos);
  counter = n;
  return true;
}

}  // namespace

std::string ReadSceneString(ByteReader& r) {
  return r.LpString();
}

void WriteSceneString(ByteWriter& w, const std::string& s) {
  w.I32(static_cast<int32_t>(s.size()));
  w.Raw(s);
}

int HandlerSlot(int code) {
  for (int i = 0; i < 14; ++i)
    if (kHandlerCodes[i] == code) return i;
  return -1;
}

// ---------------------------------------------------------------------------------------------
// TKovaObject

void TKovaObject::Create() {
  if (owner_ && WantsAutoName()) name_ = owner_->UniqueName("object");
}

void TKovaObject::SetName(const std::string& name) {
  SetNameRaw(name);
}

void TKovaObject::SetNameRaw(std::string name) {
  if (owner_ && id_) owner_->NameChanged(name_, name);
  name_ = std::move(name);
}

void TKovaObject::SetPriority(int32_t p) {
  if (p == priority_) return;
  priority_ = p;
  subPriority_ = 0;
  if (TKovaControl* c = AsControl(); c && c->Parent()) {
    c->Parent()->SortChildren();
    c->Invalidate();
  }
}

void TKovaObject::SetSubPriority(int32_t p) {
  if (p == subPriority_) return;
  subPriority_ = p;
  if (TKovaControl* c = AsControl(); c && c->Parent()) {
    c->Parent()->SortChildren();
    c->Invalidate();
  }
}

void TKovaObject::Scrap() {
  if (owner_) owner_->MarkPending(this);
  scrapped_ = true;
  SetNameRaw({});
}

const std::string& TKovaObject::OnIdle() const {
  static const std::string kEmpty;
  return kEmpty;
}

PropValue TKovaObject::GetProp(int code) {
  switch (code) {
    case PR_NAME:
      return PropValue::Str(name_);
    case PR_PRIORITY:
      return PropValue::Int(priority_);
    case PR_TAG:
      return PropValue::Str(tag_);
    case PR_COMPOTYPE:
      return PropValue::Int(GetCompoType());
    case PR_ORIGWIDTH:
      return PropValue::Int(GetProp(PR_WIDTH).i);
    case PR_ORIGHEIGHT:
      return PropValue::Int(GetProp(PR_HEIGHT).i);
    default:
      return PropInfoOf(code).unsupported;
  }
}

void TKovaObject::SetProp(int code, const PropValue& v) {
  switch (code) {
    case PR_NAME:
      // An empty name would make the object unreachable; it is ignored.
      if (!v.s.empty()) SetName(v.s);
      break;
    case PR_PRIORITY:
      SetPriority(v.i);
      break;
    case PR_TAG:
      tag_ = v.s;
      break;
    default:
      break;
  }
}

void TKovaObject::SaveToStream(ByteWriter& w) const {
  WriteSceneString(w, name_);
  w.I32(priority_);
  w.I32(subPriority_);
  WriteSceneString(w, tag_);
}

void TKovaObject::LoadFromStream(ByteReader& r, int version, int) {
  SetNameRaw(ReadSceneString(r));
  priority_ = r.I32();
  if (version > 103) subPriority_ = r.I32();
  if (version >= 120) tag_ = ReadSceneString(r);
}

// ---------------------------------------------------------------------------------------------
// TKovaComponent

void TKovaComponent::SetName(const std::string& name) {
  if (name == GetName()) return;
  if (owner_ && !name.empty()) {
    int i = owner_->IndexOfName(name);
    if (i >= 0 && owner_->GetObject(i) != this) owner_->GetObject(i)->Scrap();
  }
  SetNameRaw(name);
}

// ---------------------------------------------------------------------------------------------
// TKovaControl

void TKovaControl::Create() {
  TKovaObject::Create();
  if (owner_ && !owner_->Focus()) owner_->RequestRefocus();
}

void TKovaControl::SetName(const std::string& name) {
  if (name == GetName()) return;
  if (owner_ && !name.empty()) {
    int i = owner_->IndexOfName(name);
    if (i >= 0 && owner_->GetObject(i) != this) {
      TKovaObject* other = owner_->GetObject(i);
      std::string stem = name;
      int64_t counter = 2;
      SplitCounter(name, stem, counter);
      std::string candidate;
      for (;; ++counter) {
        candidate = stem + "_" + std::to_string(counter);
        if (owner_->IndexOfName(candidate) < 0) break;
      }
      other->SetNameRaw(candidate);
    }
  }
  SetNameRaw(name);
}

int CompareDrawOrder(const TKovaControl& a, const TKovaControl& b) {
  if (&a == &b) return 0;
  static const std::string kFreeze("\x01\x01");
  const bool af = a.GetName() == kFreeze, bf = b.GetName() == kFreeze;
  if (af != bf) return af ? 1 : -1;
  const bool ai = IsInternalName(a.GetName()), bi = IsInternalName(b.GetName());
  if (ai != bi) return ai ? -1 : 1;
  const int64_t sa = int64_t{a.GetPriority()} + a.GetSubPriority();
  const int64_t sb = int64_t{b.GetPriority()} + b.GetSubPriority();
  if (sa != sb) return sa < sb ? -1 : 1;
  const int c = a.GetName().compare(b.GetName());
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

void TKovaControl::SortChildren() {
  std::stable_sort(
      children_.begin(), children_.end(),
      [](const TKovaControl* a, const TKovaControl* b) { return CompareDrawOrder(*a, *b) < 0; });
}

bool TKovaControl::IsAncestorOf(const TKovaControl* c) const {
  for (const TKovaControl* p = c ? c->parent_ : nullptr; p; p = p->parent_)
    if (p == this) return true;
  return false;
}

bool TKovaControl::IsInCabinet() const {
  for (const TKovaControl* p = parent_; p; p = p->parent_)
    if (p->IsCabinet()) return true;
  return false;
}

TKovaBase* TKovaControl::Screen() {
  TKovaControl* c = this;
  while (c && !c->IsScreen())
    c = c->parent_;
  return static_cast<TKovaBase*>(c);
}

void TKovaControl::RemoveChild(TKovaControl* c) {
  auto it = std::find(children_.begin(), children_.end(), c);
  if (it != children_.end()) children_.erase(it);
}

void TKovaControl::SetParent(TKovaControl* p) {
  if (p == parent_ || p == this || (p && IsAncestorOf(p))) return;
  Invalidate();
  if (parent_) parent_->RemoveChild(this);
  parent_ = p;
  if (p) {
    p->children_.push_back(this);
    p->SortChildren();
  }
  Invalidate();
  if (!owner_) return;
  TKovaControl* focus = owner_->Focus();
  const bool onActive = Screen() == &owner_->ActiveScreen();
  if (focus && (focus == this || IsAncestorOf(focus)) && !onActive) {
    owner_->SetFocusQuiet(nullptr);
    owner_->RequestRefocus();
  } else if (!focus && onActive) {
    owner_->RequestRefocus();
  }
}

// ---- Geometry ----

int32_t TKovaControl::Axis(bool v, bool withParent) const {
  const int64_t zoom = v ? ZoomY() : ZoomX();
  const bool flip = v ? FlipV() : FlipH();
  const int64_t off = v ? offsetY_ : offsetX_;
  const int64_t size = v ? height_ : width_;
  const int64_t pos = v ? top_ : left_;
  const int64_t plus = v ? plusY_ : plusX_;
  const TKovaControl* p = parent_;
  int64_t parentPos = 0, scroll = 0;
  if (p) {
    parentPos = withParent ? (v ? p->ScreenTop() : p->ScreenLeft()) : 0;
    scroll = withParent ? (v ? p->ScrollY() : p->ScrollX()) : 0;
  }
  // A picture on a zoomed picture is placed in the parent's source pixels.
  if (posZoomed_ && p && !p->IsScreen() && p->HasPictureSurface() && HasPictureSurface() &&
      !HasMotion() && zoom == (v ? p->ZoomY() : p->ZoomX())) {
    const int64_t pw = v ? p->height_ : p->width_;
    const int64_t psw = v ? p->SurfaceHeight() : p->SurfaceWidth();
    const int64_t csw = v ? SurfaceHeight() : SurfaceWidth();
    if (pw > 0 && psw > 0) {
      const int64_t d = std::llround(static_cast<long double>(psw) * 65536 / pw);
      if (d > 0) {
        const int64_t n = (flip ? psw + off - pos - csw : pos - off) * 65536;
        const int64_t e = std::llround(static_cast<long double>(n) / d);
        return Sat(e + parentPos + plus - scroll);
      }
    }
  }
  int64_t b;
  if (zoom == 256)
    b = flip ? size - off - 1 : off;
  else
    b = flip ? size - off * zoom / 256 - 1 : off * zoom / 256;
  const int64_t c = HasMotion() ? (v ? motionY_ : motionX_) : posZoomed_ ? pos * zoom / 256 : pos;
  return Sat(c + parentPos - scroll - b + plus);
}

int32_t TKovaControl::ScreenLeft() const {
  return Axis(false, true);
}
int32_t TKovaControl::ScreenTop() const {
  return Axis(true, true);
}

Rect TKovaControl::ScreenRect() const {
  const int32_t l = ScreenLeft(), t = ScreenTop();
  return {l, t, Sat(int64_t{l} + width_), Sat(int64_t{t} + height_)};
}

Rect TKovaControl::ClipRect() const {
  if (clip_[2] < 1 || clip_[3] < 1) return {};
  const int64_t l = int64_t{ScreenLeft()} + clip_[0], t = int64_t{ScreenTop()} + clip_[1];
  return {Sat(l), Sat(t), Sat(l + clip_[2]), Sat(t + clip_[3])};
}

void TKovaControl::SetLeft(int32_t v) {
  if (v != left_) Invalidate(), left_ = v, motionX_ = 0, Invalidate();
}
void TKovaControl::SetTop(int32_t v) {
  if (v != top_) Invalidate(), top_ = v, motionY_ = 0, Invalidate();
}
void TKovaControl::SetWidth(int32_t v) {
  if (v != width_) Invalidate(), width_ = v, Invalidate();
}
void TKovaControl::SetHeight(int32_t v) {
  if (v != height_) Invalidate(), height_ = v, Invalidate();
}
void TKovaControl::SetOffsetX(int32_t v) {
  if (v != offsetX_) Invalidate(), offsetX_ = v, Invalidate();
}
void TKovaControl::SetOffsetY(int32_t v) {
  if (v != offsetY_) Invalidate(), offsetY_ = v, Invalidate();
}
void TKovaControl::SetBounds(int32_t l, int32_t t, int32_t w, int32_t h) {
  if (l == left_ && t == top_ && w == width_ && h == height_) return;
  Invalidate();
  left_ = l, top_ = t, width_ = w, height_ = h;
  Invalidate();
}
void TKovaControl::SetClip(int which, int32_t v) {
  if (v != clip_[which]) Invalidate(), clip_[which] = v, Invalidate();
}
void TKovaControl::SetPlus(bool y, int32_t v) {
  int32_t& f = y ? plusY_ : plusX_;
  if (v != f) Invalidate(), f = v, Invalidate();
}

void TKovaControl::SetMotionPos(int32_t x, int32_t y) {
  if (x == motionX_ && y == motionY_) return;
  Invalidate();
  motionX_ = x, motionY_ = y;
  Invalidate();
}

// ---- Motion ----

void TKovaControl::StartMotion(const std::string& file) {
  DiscardMotion();
  const MotionFilmLoader& load = GetMotionFilmLoader();
  if (!load || !owner_) return;
  std::unique_ptr<MotionFilm> film = load(*owner_, file);
  if (!film) return;
  film->SetMotionControl(owner_, Id());
  motion_ = std::make_unique<TKovaMotion>(std::move(film));
}

void TKovaControl::RestartMotion() {
  if (motion_) motion_->Restart();
}

void TKovaControl::DiscardMotion() {
  if (!motion_) return;
  Invalidate();  // where the motion had put it
  motion_.reset();
  motionX_ = motionY_ = 0;
  Invalidate();
  SetSubPriority(0);
}

const std::string& TKovaControl::OnPlayEnd() const {
  static const std::string kEmpty;
  return kEmpty;
}

bool TKovaControl::Update() {
  if (!motion_ || !owner_) return false;
  if (!motion_->Advance(*this, owner_->FrameDelta(), RepeatOn())) return false;
  if (AutoScrapOn()) return true;
  if (!OnPlayEnd().empty())
    owner_->Events().Post(Id(), OnPlayEnd(), {}, static_cast<uint8_t>(PR_ONPLAYEND));
  return false;
}

// ---- State ----

bool TKovaControl::IsVisible() const {
  return visible_ && parent_ && parent_->IsVisible();
}

void TKovaControl::SetVisible(bool v) {
  if (v == visible_) return;
  if (!v) {
    Invalidate();
    visible_ = false;
    if (!owner_) return;
    TKovaControl* focus = owner_->Focus();
    if (focus && (focus == this || IsAncestorOf(focus))) {
      owner_->SetFocusQuiet(nullptr);
      owner_->RequestRefocus();
    }
  } else {
    visible_ = true;
    Invalidate();
    if (owner_ && !owner_->Focus()) owner_->RequestRefocus();
  }
}

void TKovaControl::SetColor(int32_t c) {
  if (c != color_) color_ = c, Invalidate();
}

void TKovaControl::SetHandleKey(bool v) {
  if (v == handleKey_) return;
  handleKey_ = v;
  if (!owner_) return;
  TKovaControl* focus = owner_->Focus();
  if ((v && !focus) || (!v && focus == this)) owner_->RequestRefocus();
}

bool TKovaControl::AniPaused() const {
  if (IsInternalName(GetName()) && parent_) return parent_->AniPaused();
  return aniPaused_;
}

const std::string& TKovaControl::Handler(int code) const {
  static const std::string kEmpty;
  int s = HandlerSlot(code);
  return s >= 0 ? handlers_[s] : kEmpty;
}

// ---- Properties ----

PropValue TKovaControl::GetProp(int code) {
  if (int s = HandlerSlot(code); s >= 0) return PropValue::Str(handlers_[s]);
  switch (code) {
    case PR_PARENT:
      return PropValue::Str(parent_ ? parent_->GetName() : std::string());
    case PR_LEFT:
      return PropValue::Int(left_);
    case PR_TOP:
      return PropValue::Int(top_);
    case PR_WIDTH:
      return PropValue::Int(width_);
    case PR_HEIGHT:
      return PropValue::Int(height_);
    case PR_COLOR:
      return PropValue::Int(color_);
    case PR_OFFSETX:
      return PropValue::Int(offsetX_);
    case PR_OFFSETY:
      return PropValue::Int(offsetY_);
    case PR_VISIBLE:
      return PropValue::Bool(visible_);
    case PR_IGNOREMOUSE:
      return PropValue::Int(ignoreMouse_);
    case PR_CURSOR:
      return PropValue::Str(cursor_);
    case PR_POSZOOMED:
      return PropValue::Bool(posZoomed_);
    case PR_CLIPLEFT:
    case PR_CLIPTOP:
    case PR_CLIPWIDTH:
    case PR_CLIPHEIGHT:
      return PropValue::Int(clip_[code - PR_CLIPLEFT]);
    case PR_ANIPAUSED:
      return PropValue::Bool(AniPaused());
    case PR_PLAYING:
      return PropValue::Bool(motion_ && !motion_->Finished() && !IsPaused() && !AniPaused());
    case PR_HANDLEKEY:
      return PropValue::Bool(handleKey_);
    case PR_PLUSX:
      return PropValue::Int(plusX_);
    case PR_PLUSY:
      return PropValue::Int(plusY_);
    default:
      return TKovaComponent::GetProp(code);
  }
}

void TKovaControl::SetProp(int code, const PropValue& v) {
  if (int s = HandlerSlot(code); s >= 0) {
    handlers_[s] = v.s;
    return;
  }
  switch (code) {
    case PR_PARENT:
      if (!IsScreen() && owner_)
        if (TKovaControl* p = owner_->FindParent(v.s)) SetParent(p);
      break;
    case PR_LEFT:
      SetLeft(v.i);
      break;
    case PR_TOP:
      SetTop(v.i);
      break;
    case PR_WIDTH:
      SetWidth(v.i);
      break;
    case PR_HEIGHT:
      SetHeight(v.i);
      break;
    case PR_COLOR:
      SetColor(v.i);
      break;
    case PR_OFFSETX:
      SetOffsetX(v.i);
      break;
    case PR_OFFSETY:
      SetOffsetY(v.i);
      break;
    case PR_VISIBLE:
      SetVisible(v.b);
      break;
    case PR_IGNOREMOUSE:
      // Out-of-range classes are never hit; keep them out of range in the byte as well.
      ignoreMouse_ = v.i < 0 || v.i > 255 ? 255 : static_cast<uint8_t>(v.i);
      break;
    case PR_CURSOR:
      cursor_ = v.s;
      break;
    case PR_POSZOOMED:
      if (v.b != posZoomed_) Invalidate(), posZoomed_ = v.b, Invalidate();
      break;
    case PR_CLIPLEFT:
    case PR_CLIPTOP:
    case PR_CLIPWIDTH:
    case PR_CLIPHEIGHT:
      SetClip(code - PR_CLIPLEFT, v.i);
      break;
    case PR_ANIPAUSED:
      aniPaused_ = v.b;
      break;
    case PR_HANDLEKEY:
      SetHandleKey(v.b);
      break;
    case PR_PLUSX:
      SetPlus(false, v.i);
      break;
    case PR_PLUSY:
      SetPlus(true, v.i);
      break;
    default:
      TKovaComponent::SetProp(code, v);
  }
}

// ---- Drawing ----

bool TKovaControl::ClipChildRect(Rect& r) const {
  r = r.Intersect(ScreenRect());
  return !r.Empty();
}

void TKovaControl::ChildInvalidated(const Rect& r) {
  if (parent_) parent_->ChildInvalidated(r);
}

void TKovaControl::Invalidate() {
  InvalidateRect(ScreenRect());
}

void TKovaControl::InvalidateRect(Rect r) {
  if (!IsVisible()) return;
  TKovaBase* s = Screen();
  if (!s) return;
  if (parent_ && !parent_->ClipChildRect(r)) return;
  if (Rect c = ClipRect(); !c.Empty()) {
    r = r.Intersect(c);
    if (r.Empty()) return;
  }
  ChildInvalidated(r);
  s->AddDirtyRect(r);
}

void TKovaControl::Draw(TCustomDIBX& target) {
  DrawChildren(target);
}

void TKovaControl::DrawChildren(TCustomDIBX& target) {
  const Rect r0 = target.ClipArea();
  const bool hadClip = target.UpdateActive();
  const Rect r = ScreenRect().Intersect(r0);
  if (r.Empty()) return;
  for (size_t i = 0; i < children_.size(); ++i) {
    TKovaControl* c = children_[i];
    if (!c->IsVisible()) continue;
    Rect cr = r;
    if (Rect k = c->ClipRect(); !k.Empty()) cr = r.Intersect(k);
    if (cr.Empty()) continue;
    target.SetUpdateRect(cr);
    c->Draw(target);
  }
  if (hadClip)
    target.SetUpdateRect(r0);
  else
    target.ClearUpdate();
}

// ---- Input ----

TKovaControl* TKovaControl::HitTest(Point p, uint8_t accepted) {
  if (!IsVisible() || !ScreenRect().Contains(p.x, p.y)) return nullptr;
  TKovaControl* cand = ignoreMouse_ <= 7 && (accepted >> ignoreMouse_) & 1 ? this : nullptr;
  for (size_t i = children_.size(); i-- > 0;)
    if (TKovaControl* h = children_[i]->HitTest(p, accepted)) return h;
  return cand;
}

TKovaControl* TKovaControl::FindFocusTarget() {
  for (size_t i = children_.size(); i-- > 0;) {
    if (!children_[i]->IsVisible()) continue;
    if (TKovaControl* f = children_[i]->FindFocusTarget()) return f;
  }
  return handleKey_ && !IsPaused() ? this : nullptr;
}

void TKovaControl::PostMouse(int code, bool withPos) {
  const std::string& h = Handler(code);
  if (h.empty() || !owner_) return;
  std::vector<std::string> args;
  if (withPos) {
    TKovaBase* s = Screen();
    const int64_t mx = s ? s->mouseX : 0, my = s ? s->mouseY : 0;
    args.push_back(std::to_string(mx - ScreenLeft()));
    args.push_back(std::to_string(my - ScreenTop()));
  }
  owner_->Events().Post(Id(), h, std::move(args), static_cast<uint8_t>(code));
}

void TKovaControl::DoLButtonDown() {
  TKovaBase* s = Screen();
  const bool accepts = ignoreMouse_ == 0 || ignoreMouse_ == 4;
  if (accepts && !IsPaused() && owner_ && !owner_->Events().Has(Id(), PR_ONLBTNDOWN) &&
      !IsScreen() && !IsBusy()) {
    PostMouse(PR_ONLBTNDOWN, true);
    if (s) s->capture |= TKovaBase::kCaptureLeft, s->leftClick = false;
  } else if (!IsScreen() && accepts && s) {
    s->leftClick = false;
  }
}

void TKovaControl::DoRButtonDown() {
  TKovaBase* s = Screen();
  const bool accepts = ignoreMouse_ == 0 || ignoreMouse_ == 3;
  if (accepts && !IsPaused() && owner_ && !owner_->Events().Has(Id(), PR_ONRBTNDOWN) &&
      !IsScreen() && !IsBusy()) {
    PostMouse(PR_ONRBTNDOWN, true);
    if (s) s->capture |= TKovaBase::kCaptureRight, s->rightClick = false;
  } else if (!IsScreen() && accepts && s) {
    s->rightClick = false;
  }
}

void TKovaControl::DoLButtonUp() {
  if (IsBusy()) return;
  PostMouse(PR_ONLBTNUP, true);
  if (TKovaBase* s = Screen()) s->capture &= ~TKovaBase::kCaptureLeft;
}

void TKovaControl::DoRButtonUp() {
  if (IsBusy()) return;
  PostMouse(PR_ONRBTNUP, true);
  if (TKovaBase* s = Screen()) s->capture &= ~TKovaBase::kCaptureRight;
}

void TKovaControl::DoMouseMove() {
  if (owner_ && !owner_->Events().Has(Id(), PR_ONMOUSEMOVE) && !IsBusy())
    PostMouse(PR_ONMOUSEMOVE, true);
}

void TKovaControl::DoMouseIn() {
  if (!IsBusy()) PostMouse(PR_ONMOUSEIN, false);
}

void TKovaControl::DoMouseOut() {
  if (!IsBusy()) PostMouse(PR_ONMOUSEOUT, false);
}

void TKovaControl::PostKey(int code) {
  if (!owner_ || Handler(code).empty() || IsPaused() || owner_->Events().Has(Id(), code) ||
      IsScreen() || IsBusy())
    return;
  owner_->Events().Post(Id(), Handler(code), {}, static_cast<uint8_t>(code));
}

void TKovaControl::DoKeyDown() {
  PostKey(PR_ONKEYDOWN);
}
void TKovaControl::DoKeyUp() {
  PostKey(PR_ONKEYUP);
}
void TKovaControl::DoKeyRepeat() {
  PostKey(PR_ONKEYREPEAT);
}

// ---- Persistence ----

void TKovaControl::SaveToStream(ByteWriter& w) const {
  TKovaComponent::SaveToStream(w);
  for (int32_t v : {left_, top_, width_, height_, offsetX_, offsetY_})
    w.I32(v);
  w.U8(posZoomed_);
  for (int32_t v : {motionX_, motionY_, plusX_, plusY_})
    w.I32(v);
  for (int32_t v : clip_)
    w.I32(v);
  w.U8(aniPaused_);
  w.U8(visible_);
  w.I32(color_);
  for (int32_t v : reserved_)
    w.I32(v);
  w.U8(ignoreMouse_);
  WriteSceneString(w, cursor_);
  for (int i = 0; i < 9; ++i)
    WriteSceneString(w, handlers_[i]);
  w.U8(handleKey_);
  for (int i = 9; i < 14; ++i)
    WriteSceneString(w, handlers_[i]);
  std::vector<const TKovaControl*> saved;
  for (const TKovaControl* c : children_)
    if (!c->IsScrapped() && c->GetCompoType() != LT_NONE && !IsInternalName(c->GetName()))
      saved.push_back(c);
  w.I32(static_cast<int32_t>(saved.size()));
  for (const TKovaControl* c : saved) {
    w.U8(static_cast<uint8_t>(c->GetCompoType()));
    c->SaveToStream(w);
  }
}

void TKovaControl::LoadFromStream(ByteReader& r, int version, int depth) {
  TKovaComponent::LoadFromStream(r, version, depth);
  for (int32_t* f : {&left_, &top_, &width_, &height_, &offsetX_, &offsetY_})
    *f = r.I32();
  posZoomed_ = r.U8() != 0;
  if (version >= 130)
    for (int32_t* f : {&motionX_, &motionY_, &plusX_, &plusY_})
      *f = r.I32();
  if (version > 103) {
    for (int32_t& v : clip_)
      v = r.I32();
    aniPaused_ = r.U8() != 0;
  }
  visible_ = r.U8() != 0;
  color_ = r.I32();
  for (int32_t& v : reserved_)
    v = r.I32();
  ignoreMouse_ = r.U8();
  cursor_ = ReadSceneString(r);
  handlers_[0] = ReadSceneString(r);
  if (version > 101) handlers_[1] = ReadSceneString(r);
  for (int i = 2; i < 9; ++i)
    handlers_[i] = ReadSceneString(r);
  if (version > 117) {
    handleKey_ = r.U8() != 0;
    for (int i = 9; i < 14; ++i)
      handlers_[i] = ReadSceneString(r);
  }
  const size_t countAt = r.Pos();
  const uint32_t n = r.Count(static_cast<uint32_t>(r.I32()), 1 + 4 + 4 + 24, "child");
  if (n > 0 && depth + 1 > kMaxSceneDepth) r.FailAt(countAt, "children nested too deeply");
  for (uint32_t i = 0; i < n; ++i) {
    const size_t at = r.Pos();
    const int type = r.U8() & 0x7F;
    if (!owner_ || !IsControlType(type)) r.FailAt(at, "bad child type " + std::to_string(type));
    TKovaObject* child = owner_->CreateByType(type);
    if (!child || !child->AsControl()) r.FailAt(at, "bad child type " + std::to_string(type));
    child->AsControl()->SetParent(this);
    child->LoadFromStream(r, version, depth + 1);
  }
  SortChildren();
}

// ---------------------------------------------------------------------------------------------
// TTimerList

void TTimerList::Post(uint32_t sender, const std::string& handler, std::vector<std::string> args,
                      uint8_t code) {
  QueuedEvent e;
  e.handler = handler;
  e.args = std::move(args);
  e.sender = sender;
  e.code = code;
  items_.push_back(std::move(e));
  Note("post", items_.back());
}

const QueuedEvent* TTimerList::FindPending(uint32_t sender, uint8_t code) const {
  for (const QueuedEvent& e : items_)
    if (e.sender == sender && e.code == code) return &e;
  return nullptr;
}

QueuedEvent* TTimerList::FirstPending() {
  for (QueuedEvent& e : items_)
    if (e.level == 0) return &e;
  return nullptr;
}

void TTimerList::RemovePendingOf(uint32_t sender) {
  items_.remove_if([&](const QueuedEvent& e) {
    if (e.sender != sender || e.level != 0) return false;
    Note("drop", e);
    return true;
  });
}

void TTimerList::RemoveLevel(int32_t level) {
  items_.remove_if([&](const QueuedEvent& e) {
    if (e.level != level) return false;
    Note("done", e);
    return true;
  });
}

void TTimerList::RemoveRunning() {
  items_.remove_if([&](const QueuedEvent& e) {
    if (e.level == 0) return false;
    Note("done", e);
    return true;
  });
}

void TTimerList::Remove(const QueuedEvent& ev) {
  items_.remove_if([&](const QueuedEvent& e) {
    if (&e != &ev) return false;
    Note("drop", e);
    return true;
  });
}

void TTimerList::SaveToStream(ByteWriter& w, const TKovaBaseList& scene) const {
  w.I32(static_cast<int32_t>(items_.size()));
  for (const QueuedEvent& e : items_) {
    WriteSceneString(w, e.handler);
    WriteSceneString(w, const_cast<TKovaBaseList&>(scene).ObjectName(e.sender));
    w.U8(e.code);
    w.I32(e.level);
    TArrayString a;
    for (const std::string& s : e.args)
      a.Add(s);
    a.Write(w);
  }
}

void TTimerList::LoadFromStream(ByteReader& r, int version, TKovaBaseList& scene) {
  items_.clear();
  const uint32_t n = r.Count(static_cast<uint32_t>(r.I32()), 4 + 4 + 1 + 1 + 4, "event");
  for (uint32_t i = 0; i < n; ++i) {
    QueuedEvent e;
    e.handler = ReadSceneString(r);
    std::string sender = ReadSceneString(r);
    e.code = r.U8();
    e.level = version > 113 ? r.I32() : (r.U8() != 0 ? 1 : 0);
    e.args = TArrayString::Read(r).Items();
    if (!sender.empty()) {
      int k = scene.IndexOfName(sender);
      if (k >= 0) e.sender = scene.GetObject(k)->Id();
    }
    items_.push_back(std::move(e));
  }
}

}  // namespace kova
