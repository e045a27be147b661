#include "scene/motion.h"

#include <algorithm>
#include <cmath>

#include "scene/object.h"

namespace kova {
namespace {

MotionFilmLoader& Loader() {
  static MotionFilmLoader loader;
  return loader;
}

int32_t Sat32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

int64_t RoundHalfEven(long double v) {
  const long double f = std::floor(v);
  const long double d = v - f;
  auto r = static_cast<int64_t>(f);
  if (d > 0.5L || (d == 0.5L && (r & 1) != 0)) ++r;
  return r;
}

void SetMotionFilmLoader(MotionFilmLoader loader) {
  Loader() = std::move(loader);
}

const MotionFilmLoader& GetMotionFilmLoader() {
  return Loader();
}

bool TKovaMotion::Advance(TKovaControl& c, int32_t delta, bool repeat) {
  MotionFilm& film = *film_;
  bool moved = false;
  // A script moved a control that plays a relative film: the film follows from the new place.
  if (startSteps_ <= 0 && film.Relative() && (c.Left() != lastLeft_ || c.Top() != lastTop_)) {
    film.SetMotionBase({c.Left(), c.Top()});
    finished_ = false;
    moved = true;
  }
  if (finished_) return false;
  if (startSteps_ == 2) {
    film.SetMotionBase(film.Relative() ? Point{c.Left(), c.Top()} : Point{0, 0});
    film.SetBasePriority(c.GetPriority());
    lastLeft_ = c.Left();
    lastTop_ = c.Top();
  }
  if (startSteps_ < 1 && !c.AniPaused()) elapsedMs_ = Sat32(int64_t{elapsedMs_} + delta);
  // The frame is below 2^31 / 16 whatever the elapsed time, so it fits.
  frame_ = static_cast<int32_t>(RoundHalfEven(elapsedMs_ / kFilmFrameMs));
  bool result = false;
  const int32_t count = film.TotalFrames();
  if (frame_ >= count) {
    if (repeat) {
      // An empty film stays on frame 0; a loop start outside the film is held inside it.
      const int64_t wrapped = count > 0 ? int64_t{frame_} % count + film.LoopStart() : 0;
      frame_ = static_cast<int32_t>(std::clamp<int64_t>(wrapped, 0, std::max(count - 1, 0)));
      elapsedMs_ = Sat32(RoundHalfEven(frame_ * kFilmFrameMs));
    } else {
      frame_ = std::max(count - 1, 0);
      finished_ = true;
      result = true;
    }
  }
  if (startSteps_ == 2 || film.CurrentFrame() != frame_ || moved) film.ShowFrame(frame_);
  if (startSteps_ > 0) --startSteps_;
  lastLeft_ = c.Left();
  lastTop_ = c.Top();
  return result;
}

}  // namespace kova
