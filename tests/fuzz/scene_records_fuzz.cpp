// Random bytes as the scene part of a game save: a load either fails with a format error and
// leaves the running scene as it was, or gives a scene that saves, draws and updates.
#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "common/error.h"
#include "gfx/dibx.h"
#include "scene/box.h"
#include "scene/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
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
  scene.ProcessInput({}, 16);
  scene.Update();
  scene.Draw(screen);
  return 0;
}
