#include "gfx/wipe.h"

#include <cmath>

namespace kova {

void TCustomWipe::Create(TCustomDIBX& target, const TCustomDIBX& incoming,
                         const TCustomDIBX& outgoing) {
  target_ = &target;
  incoming_ = &incoming;
  outgoing_ = &outgoing;
}

bool TCustomWipe::Step() {
  updateRect_ = {0, 0, target_->Width(), target_->Height()};
  if (duration < 1 || progress >= duration) return true;
  DrawStep();
  return false;
}

void TWipeFade::DrawStep() {
  const int64_t d = duration, t = progress;
  const double c = static_cast<double>(d - t - 1) / static_cast<double>(d);
  // Rounding to nearest with ties to even, as the default floating-point mode does.
  const auto x = static_cast<int32_t>(std::nearbyint(c * params_[0]));
  const auto y = static_cast<int32_t>(std::nearbyint(c * params_[1]));
  target_->Assign(*outgoing_);
  const auto alpha = static_cast<int32_t>(t * 256 / d);
  if (alpha > 0)
    target_->DrawAlpha(x, y, {0, 0, incoming_->Width(), incoming_->Height()}, *incoming_, alpha);
}

std::unique_ptr<TCustomWipe> CreateWipe(int type, TCustomDIBX& target, const TCustomDIBX& outgoing,
                                        const TCustomDIBX& incoming) {
  std::unique_ptr<TCustomWipe> w;
  int32_t p0 = 0, p1 = 0;
  switch (type) {
    case 1:
      w = std::make_unique<TWipeFade>();
      break;
    default:
      return nullptr;
  }
  w->Create(target, incoming, outgoing);
  w->SetParameter(0, p0);
  w->SetParameter(1, p1);
  return w;
}

}  // namespace kova
