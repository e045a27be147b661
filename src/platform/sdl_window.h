// The player's window on the desktop: the title's screen under a 22-pixel dock with two
// buttons, or the whole display in full screen with the picture scaled and letterboxed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/geometry.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace kova {

struct InputEvent {
  enum Kind {
    kMove,
    kButtonDown,
    kButtonUp,
    kWheel,
    kKeyDown,
    kKeyUp,
    kActivate,
    kDeactivate,
    kClose,  // the window's close button or the dock's exit button
  };
  Kind kind = kMove;
  int32_t x = 0, y = 0;  // title pixels (move and buttons)
  int button = 0;        // 1 left, 2 right, 3 middle
  int wheel = 0;         // +1 up, -1 down
  int32_t vk = 0;        // virtual-key code
};

class SdlWindow {
 public:
  static constexpr int kDockHeight = 22;
  static constexpr int kButtonWidth = 67, kButtonHeight = 18;

  // Opens a window of the title's size plus the dock, centred on the display.
  SdlWindow(const std::string& utf8Title, int width, int height, bool integerScaling = false);
  ~SdlWindow();
  SdlWindow(const SdlWindow&) = delete;
  SdlWindow& operator=(const SdlWindow&) = delete;

  // Uploads the given rectangles of a 0x00RRGGBB picture of the title's size and shows it;
  // `rowOf(y)` gives row y of the picture.
  void Present(const std::function<const uint32_t*(int32_t)>& rowOf,
               const std::vector<Rect>& dirty);
  // Everything that happened since the last call. Key repeats of the desktop are dropped;
  // Alt+Enter and the dock's switch button toggle full screen here.
  std::vector<InputEvent> Poll();

  // False when the switch failed; the window is then back as it was.
  bool SetFullScreen(bool on);
  bool FullScreen() const { return fullScreen_; }
  // Window pixels to title pixels.
  Point ToTitle(int32_t x, int32_t y) const;
  // Frames that uploaded something.
  int64_t PresentCount() const { return presents_; }

 private:
  // Where the title's picture goes in the window, in window pixels.
  Rect Target() const;
  void DrawDock();

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int width_, height_;
  bool integerScaling_;
  bool fullScreen_ = false;
  bool dockShown_ = false;  // full screen: the mouse is at the top
  int64_t presents_ = 0;
};

}  // namespace kova
