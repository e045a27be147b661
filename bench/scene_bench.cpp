// One scene frame: input, update, draw and the present of what changed to the headless presenter
// (a memory copy standing for a window's texture), for many boxes and for full-screen redraws.
#include <benchmark/benchmark.h>

#include "gfx/dibx.h"
#include "gfx/screen_manager.h"
#include "scene/box.h"
#include "scene/scene.h"

namespace kova {
namespace {

// 1,000 boxes of 16x16 over an 800x600 screen, 10 of them moving each frame.
void BM_FrameThousandBoxesTenMoving(benchmark::State& state) {
  TKovaBaseList scene(800, 600);
  TScreenManager screens(800, 600);
  TMemoryPresentTarget shown(800, 600);
  screens.SetTarget(&shown);
  TDIBX& display = screens.BackBuffer();
  std::vector<TKovaBox*> boxes;
  for (int i = 0; i < 1000; ++i) {
    auto* b = scene.Make<TKovaBox>();
    b->SetParent(&scene.ActiveScreen());
    b->SetName("b" + std::to_string(i));
    b->SetBounds((i * 37) % 784, (i * 53) % 584, 16, 16);
    b->SetColor((i * 2654435761u) & 0xFFFFFF);
    if (i % 3 == 0) b->SetProp(PR_ALPHA, PropValue::Int(128));
    boxes.push_back(b);
  }
  scene.Draw(display);
  scene.ClearDirty();
  InputFrame in;
  in.hasMouse = true;
  int frame = 0;
  for (auto _ : state) {
    ++frame;
    in.mouseX = frame % 800;
    in.mouseY = (frame * 7) % 600;
    scene.ProcessInput(in, 16);
    for (int k = 0; k < 10; ++k) {
      TKovaBox* b = boxes[(frame * 10 + k) % boxes.size()];
      b->SetLeft((b->Left() + 3) % 784);
    }
    scene.Update();
    scene.Draw(display);
    screens.Present(scene.ActiveScreen().DirtyRects().Rects());
    scene.ClearDirty();
  }
}
BENCHMARK(BM_FrameThousandBoxesTenMoving)->Unit(benchmark::kMillisecond);

// The whole screen repainted: a full-screen box and 100 boxes above it.
void BM_FullRedraw(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  TKovaBaseList scene(w, h);
  TScreenManager screens(w, h);
  TMemoryPresentTarget shown(w, h);
  screens.SetTarget(&shown);
  TDIBX& display = screens.BackBuffer();
  auto* back = scene.Make<TKovaBox>();
  back->SetParent(&scene.ActiveScreen());
  back->SetBounds(0, 0, w, h);
  back->SetColor(0x204060);
  for (int i = 0; i < 100; ++i) {
    auto* b = scene.Make<TKovaBox>();
    b->SetParent(&scene.ActiveScreen());
    b->SetBounds((i * 97) % (w - 64), (i * 61) % (h - 64), 64, 64);
    b->SetColor(0x00FF00);
    b->SetProp(PR_ALPHA, PropValue::Int(i % 2 ? 128 : 320));
  }
  for (auto _ : state) {
    scene.ActiveScreen().AddFullDirty();
    scene.Draw(display);
    screens.Present(scene.ActiveScreen().DirtyRects().Rects());
    scene.ClearDirty();
  }
}
BENCHMARK(BM_FullRedraw)->Args({800, 600})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kova
