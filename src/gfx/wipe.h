// Screen transitions: over a given time, the picture of one screen gives way to the other's.
// Each type redraws the whole target from the outgoing and incoming pictures once per frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/geometry.h"
#include "gfx/dibx.h"

namespace kova {

class TCustomWipe {
 public:
  virtual ~TCustomWipe() = default;

  virtual void SetReverse(uint8_t r) { reverse_ = r; }
  virtual int32_t Parameter(int index) const { return params_[index & 1]; }
  virtual void SetParameter(int index, int32_t v) { params_[index & 1] = v; }
  virtual void SetImageName(std::string name) { imageName_ = std::move(name); }
  // The three pictures must keep their size and depth while the transition lives.
  virtual void Create(TCustomDIBX& target, const TCustomDIBX& incoming,
                      const TCustomDIBX& outgoing);
  // Builds what depends on the parameters and the rule image.
  virtual void Prepare() {}
  // Redraws the target for the current progress; true once the duration has passed (nothing is
  // drawn then). A duration below 1 counts as passed.
  bool Step();

  int32_t duration = 0;
  int32_t progress = 0;
  // The area the last step redrew: always the whole target.
  Rect UpdateRect() const { return updateRect_; }

 protected:
  virtual void DrawStep() = 0;

  uint8_t reverse_ = 0;
  int32_t params_[2] = {0, 0};
  std::string imageName_;
  TCustomDIBX* target_ = nullptr;
  const TCustomDIBX* incoming_ = nullptr;
  const TCustomDIBX* outgoing_ = nullptr;
  Rect updateRect_;
};

// A cross-fade; with parameters, the incoming picture also slides in from (p0, p1).
class TWipeFade : public TCustomWipe {
 protected:
  void DrawStep() override;
};

// The transition of that type with its default parameters, or none for a type not known.
std::unique_ptr<TCustomWipe> CreateWipe(int type, TCustomDIBX& target, const TCustomDIBX& outgoing,
                                        const TCustomDIBX& incoming);

}  // namespace kova
