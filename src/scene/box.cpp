#include "scene/box.h"

#include "common/colour.h"
#include "common/cp932.h"
#include "common/error.h"
#include "gfx/dibx.h"

namespace kova {
namespace {

// Paints one rectangle in the mode the opacity selects.
void Paint(TCustomDIBX& t, const Rect& r, int32_t color, int32_t alpha, int32_t frame) {
  if (color < 0 || r.Empty()) return;
  if (alpha >= 256) {
    const int32_t k = alpha - 256;
    const ColorRef c = MakeColorRef(static_cast<uint8_t>(RedOf(color) * k / 256),
                                    static_cast<uint8_t>(GreenOf(color) * k / 256),
                                    static_cast<uint8_t>(BlueOf(color) * k / 256));
    const auto n = static_cast<uint32_t>(t.NativeColor(c));
    frame > 0 ? t.FrameRectAdd(r, frame, n) : t.AddRect(r, n);
    return;
  }
  const auto n = static_cast<uint32_t>(t.NativeColor(color));
  if (alpha == 255)
    frame > 0 ? t.FrameRect(r, frame, n) : t.FillRect(r, n);
  else
    frame > 0 ? t.FrameRectAlpha(r, frame, n, alpha) : t.FillRectAlpha(r, n, alpha);
}

}  // namespace

bool IsMotionFile(const std::string& name) {
  return name.size() >= 4 && cp932::EqualNoCase(name.substr(name.size() - 4), ".kmt");
}

void TKovaBox::Draw(TCustomDIBX& target) {
  if (alpha_ > 0 && alpha_ < 512) {
    const Rect r = ScreenRect();
    if (borderWidth_ > 0) {
      Paint(target, r, borderColor_, alpha_, borderWidth_);
      const Rect inner{r.left + borderWidth_, r.top + borderWidth_, r.right - borderWidth_,
                       r.bottom - borderWidth_};
      Paint(target, inner, color_, alpha_, 0);
    } else {
      Paint(target, r, color_, alpha_, 0);
    }
  }
  DrawChildren(target);
}

PropValue TKovaBox::GetProp(int code) {
  switch (code) {
    case PR_SOURCE:
      return PropValue::Str(source_);
    case PR_BORDERWIDTH:
      return PropValue::Int(borderWidth_);
    case PR_BORDERCOLOR:
      return PropValue::Int(borderColor_);
    case PR_ALPHA:
      return PropValue::Int(alpha_);
    case PR_PAUSED:
      return PropValue::Bool(paused_);
    case PR_REPEAT:
      return PropValue::Bool(repeat_);
    case PR_ONPLAYEND:
      return PropValue::Str(onPlayEnd_);
    case PR_AUTOSCRAP:
      return PropValue::Bool(autoScrap_);
    case PR_ONIDLE:
      return PropValue::Str(onIdle_);
    default:
      return TKovaControl::GetProp(code);
  }
}

void TKovaBox::SetProp(int code, const PropValue& v) {
  switch (code) {
    case PR_SOURCE:
      source_ = v.s;
      // Other sources only store the name (and leave a running motion alone).
      if (IsMotionFile(source_)) StartMotion(source_);
      break;
    case PR_BORDERWIDTH:
      if (v.i != borderWidth_) borderWidth_ = v.i, Invalidate();
      break;
    case PR_BORDERCOLOR:
      if (v.i != borderColor_) borderColor_ = v.i, Invalidate();
      break;
    case PR_ALPHA:
      if (v.i != alpha_) alpha_ = v.i, Invalidate();
      break;
    case PR_PAUSED:
      paused_ = v.b;
      break;
    case PR_REPEAT:
      repeat_ = v.b;
      if (repeat_ && motion_ && motion_->Finished()) RestartMotion();
      break;
    case PR_ONPLAYEND:
      onPlayEnd_ = v.s;
      break;
    case PR_AUTOSCRAP:
      autoScrap_ = v.b;
      break;
    case PR_ONIDLE:
      onIdle_ = v.s;
      break;
    default:
      TKovaControl::SetProp(code, v);
  }
}

void TKovaBox::SaveToStream(ByteWriter& w) const {
  TKovaControl::SaveToStream(w);
  w.I32(borderWidth_);
  w.I32(borderColor_);
  w.I32(alpha_);
  WriteSceneString(w, onIdle_);
  WriteSceneString(w, source_);
  w.U8(repeat_);
  w.U8(autoScrap_);
  WriteSceneString(w, onPlayEnd_);
  w.U8(paused_);
  w.U8(aniPaused_);
}

void TKovaBox::LoadFromStream(ByteReader& r, int version, int depth) {
  TKovaControl::LoadFromStream(r, version, depth);
  borderWidth_ = r.I32();
  borderColor_ = r.I32();
  alpha_ = r.I32();
  if (version > 103) {
    onIdle_ = ReadSceneString(r);
    // The motion starts again from its first frame. A motion file that can no longer be read
    // costs the box its motion, not the whole save.
    std::string source = ReadSceneString(r);
    try {
      SetProp(PR_SOURCE, PropValue::Str(source));
    } catch (const Error&) {
      source_ = std::move(source);
    }
    repeat_ = r.U8() != 0;
    autoScrap_ = r.U8() != 0;
    onPlayEnd_ = ReadSceneString(r);
    paused_ = r.U8() != 0;
    aniPaused_ = r.U8() != 0;
  }
}

}  // namespace kova
