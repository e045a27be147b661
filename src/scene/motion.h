// Motions: a film driving one control frame by frame. The scene layer knows films only through
// the interface below; the film reader plugs its loader in at start-up.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/geometry.h"

namespace kova {

class TKovaBaseList;
class TKovaControl;

// One frame lasts this many milliseconds (60 frames a second).
inline constexpr long double kFilmFrameMs = 16.666666666666668L;

// Nearest integer, halves to even.
int64_t RoundHalfEven(long double v);

// What a film offers the motion that plays it on one control.
class MotionFilm {
 public:
  virtual ~MotionFilm() = default;
  virtual int32_t TotalFrames() const = 0;
  // The frame repeating playback returns to.
  virtual int32_t LoopStart() const = 0;
  // Positions are measured from the control's own position.
  virtual bool Relative() const = 0;
  // The frame shown last.
  virtual int32_t CurrentFrame() const = 0;
  // Motion mode: every track applies its values to this control, found by id in the scene at
  // each frame. Called again when the control moves to another scene (a loaded save).
  virtual void SetMotionControl(TKovaBaseList* scene, uint32_t controlId) = 0;
  // The control's position and Priority when the motion starts or the relative base moves.
  virtual void SetMotionBase(Point base) = 0;
  virtual void SetBasePriority(int32_t priority) = 0;
  // Applies frame f to the control.
  virtual void ShowFrame(int32_t f) = 0;
};

// Opens a motion file as a film. Errors are kova::Error (a missing file, a damaged film).
using MotionFilmLoader =
    std::function<std::unique_ptr<MotionFilm>(TKovaBaseList& scene, const std::string& file)>;

// The loader in use; an empty one (the default) starts no motions.
void SetMotionFilmLoader(MotionFilmLoader loader);
const MotionFilmLoader& GetMotionFilmLoader();

// A film attached to one control. The control owns the motion; the motion keeps no pointer to
// the control, which passes itself to each step.
class TKovaMotion {
 public:
  explicit TKovaMotion(std::unique_ptr<MotionFilm> film) : film_(std::move(film)) {}

  // One frame's advance by delta milliseconds; true when the motion has just finished.
  bool Advance(TKovaControl& c, int32_t delta, bool repeat);
  // Back to the start: the next advance shows the first frame again.
  void Restart() {
    elapsedMs_ = 0;
    startSteps_ = 2;
    finished_ = false;
  }

  MotionFilm& Film() { return *film_; }
  int32_t ElapsedMs() const { return elapsedMs_; }
  int32_t StartSteps() const { return startSteps_; }
  bool Finished() const { return finished_; }
  int32_t Frame() const { return frame_; }

 private:
  std::unique_ptr<MotionFilm> film_;
  int32_t elapsedMs_ = 0;
  int32_t startSteps_ = 2;
  bool finished_ = false;
  int32_t frame_ = 0;
  int32_t lastLeft_ = 0, lastTop_ = 0;
};

}  // namespace kova
