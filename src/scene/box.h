// The box: a filled and optionally framed rectangle, opaque, blended or additive.
#pragma once

#include "scene/object.h"

namespace kova {

// Sources with the ".kmt" extension (any case) are motion files.
bool IsMotionFile(const std::string& name);

class TKovaBox : public TKovaControl {
 public:
  using TKovaControl::TKovaControl;
  int GetCompoType() const override { return LT_BOX; }
  PropValue GetProp(int code) override;
  void SetProp(int code, const PropValue& v) override;
  bool IsPaused() const override { return paused_; }
  const std::string& OnIdle() const override { return onIdle_; }
  void Draw(TCustomDIBX& target) override;
  bool RepeatOn() const override { return repeat_; }
  bool AutoScrapOn() const override { return autoScrap_; }
  const std::string& OnPlayEnd() const override { return onPlayEnd_; }
  void SaveToStream(ByteWriter& w) const override;
  void LoadFromStream(ByteReader& r, int version, int depth) override;

 private:
  int32_t borderWidth_ = 0, borderColor_ = -1, alpha_ = 255;
  std::string onIdle_, source_, onPlayEnd_;
  bool repeat_ = false, autoScrap_ = false, paused_ = false;
};

}  // namespace kova
