// Random bytes as the scene part of a game save: a load either fails with a format error and
// leaves the running scene as it was, or gives a scene that saves, draws and updates.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/bytes.h"
#include "common/error.h"
#include "gfx/dibx.h"
#include "scene/box.h"
#include "scene/motion.h"
#include "scene/scene.h"

namespace {

// A motion film made up from the file name: its length gives the frame count (0 included), its
// first byte the loop start and relativity, and names with a '!' fail to load.
class NameFilm : public kova::MotionFilm {
 public:
  explicit NameFilm(const std::string& name)
      : frames_(static_cast<int32_t>(name.size()) - 4),
        loopStart_(static_cast<int8_t>(name[0])),
        relative_(name[0] & 1) {}
  int32_t TotalFrames() const override { return frames_; }
  int32_t LoopStart() const override { return loopStart_; }
  bool Relative() const override { return relative_; }
  int32_t CurrentFrame() const override { return current_; }
  void SetMotionControl(kova::TKovaBaseList* scene, uint32_t id) override {
    scene_ = scene, id_ = id;
  }
  void SetMotionBase(kova::Point b) override { base_ = b; }
  void SetBasePriority(int32_t p) override { priority_ = p; }
  void ShowFrame(int32_t f) override {
    current_ = f;
    kova::TKovaObject* o = scene_->Get(id_);
    if (!o || !o->AsControl()) __builtin_trap();  // the film lost its control
    o->AsControl()->SetMotionPos(base_.x + f, base_.y - f);
    o->AsControl()->SetSubPriority(priority_ + f);
  }

 private:
  int32_t frames_, loopStart_;
  bool relative_;
  int32_t current_ = -1, priority_ = 0;
  kova::Point base_;
  kova::TKovaBaseList* scene_ = nullptr;
  uint32_t id_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const bool loaderSet = [] {
    kova::SetMotionFilmLoader([](kova::TKovaBaseList&, const std::string& file) {
      if (file.find('!') != std::string::npos) throw kova::Error(file + ": no such film");
      return std::make_unique<NameFilm>(file);
    });
    return true;
  }();
  (void)loaderSet;
  const int version = 100 + data[0] % 40;
  kova::TKovaBaseList scene(64, 48);
  auto* keep = scene.Make<kova::TKovaBox>();
  keep->SetParent(&scene.ActiveScreen());
  keep->SetName("keep");
  kova::ByteWriter before;
  scene.SaveToStream(before);
  try {
    kova::ByteReader r(std::span<const uint8_t>(data + 1, size - 1), "fuzz");
    scene.LoadFromStream(r, version, 0);
  } catch (const kova::FormatError&) {
    kova::ByteWriter after;
    scene.SaveToStream(after);
    if (after.Data() != before.Data()) __builtin_trap();  // a failed load changed the scene
    return 0;
  }
  kova::ByteWriter w;
  scene.SaveToStream(w);
  kova::TDIBX screen(64, 48, 32);
  for (int32_t delta : {16, 0, 1000, 16}) {
    scene.ProcessInput({}, delta);
    scene.Update();
    scene.Draw(screen);
  }
  return 0;
}
