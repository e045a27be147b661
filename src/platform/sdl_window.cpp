#include "platform/sdl_window.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "common/error.h"
#include "platform/keys.h"

namespace kova {

namespace {
[[noreturn]] void Fail(const char* what) {
  throw Error(std::string(what) + ": " + SDL_GetError());
}
}  // namespace

SdlWindow::SdlWindow(const std::string& title, int width, int height, bool integerScaling)
    : width_(width), height_(height), integerScaling_(integerScaling) {
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    Fail("cannot start the display");
  // Centred in the display's usable area (without panels), but never with the title bar above
  // its top or left edge.
  int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) == 0) {
    x = std::max(usable.x, usable.x + (usable.w - width) / 2);
    y = std::max(usable.y, usable.y + (usable.h - height - kDockHeight) / 2);
  }
  window_ = SDL_CreateWindow(title.c_str(), x, y, width, height + kDockHeight, SDL_WINDOW_SHOWN);
  if (!window_) Fail("cannot open a window");
  int top = 0, left = 0;
  if (x != SDL_WINDOWPOS_CENTERED &&
      SDL_GetWindowBordersSize(window_, &top, &left, nullptr, nullptr) == 0 &&
      (y - top < usable.y || x - left < usable.x))
    SDL_SetWindowPosition(window_, std::max(x, usable.x + left), std::max(y, usable.y + top));
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
  if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (!renderer_) Fail("cannot draw into the window");
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                               width, height);
  if (!texture_) Fail("cannot make the screen picture");
}

SdlWindow::~SdlWindow() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
}

Rect SdlWindow::Target() const {
  if (!fullScreen_) return {0, kDockHeight, width_, kDockHeight + height_};
  int ww = 0, wh = 0;
  SDL_GetRendererOutputSize(renderer_, &ww, &wh);
  // Letterboxed: the largest size of the title's proportions, whole multiples if asked.
  double scale = std::min(static_cast<double>(ww) / width_, static_cast<double>(wh) / height_);
  if (integerScaling_ && scale >= 1) scale = static_cast<int>(scale);
  const int w = static_cast<int>(width_ * scale), h = static_cast<int>(height_ * scale);
  const int x = (ww - w) / 2, y = (wh - h) / 2;
  return {x, y, x + w, y + h};
}

void SdlWindow::DrawDock() {
  SDL_SetRenderDrawColor(renderer_, 212, 208, 200, 255);
  SDL_Rect bar{0, 0, width_, kDockHeight};
  SDL_RenderFillRect(renderer_, &bar);
  for (int i = 0; i < 2; ++i) {
    SDL_Rect b{2 + i * kButtonWidth, 2, kButtonWidth - 2, kButtonHeight};
    SDL_SetRenderDrawColor(renderer_, 236, 233, 216, 255);
    SDL_RenderFillRect(renderer_, &b);
    SDL_SetRenderDrawColor(renderer_, 128, 128, 128, 255);
    SDL_RenderDrawRect(renderer_, &b);
  }
}

void SdlWindow::Present(const std::function<const uint32_t*(int32_t)>& rowOf,
                        const std::vector<Rect>& dirty) {
  bool uploaded = false;
  for (const Rect& d : dirty) {
    const Rect r = d.Intersect({0, 0, width_, height_});
    if (r.Empty()) continue;
    const SDL_Rect sr{r.left, r.top, r.Width(), r.Height()};
    void* out = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture_, &sr, &out, &pitch) != 0) continue;
    for (int32_t y = r.top; y < r.bottom; ++y)
      std::memcpy(static_cast<uint8_t*>(out) + static_cast<size_t>(y - r.top) * pitch,
                  rowOf(y) + r.left, static_cast<size_t>(r.Width()) * 4);
    SDL_UnlockTexture(texture_);
    uploaded = true;
  }
  if (uploaded) ++presents_;
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  if (!fullScreen_) DrawDock();
  const Rect t = Target();
  const SDL_Rect target{t.left, t.top, t.Width(), t.Height()};
  SDL_RenderCopy(renderer_, texture_, nullptr, &target);
  // In full screen the dock comes over the picture while the mouse is at the top.
  if (fullScreen_ && dockShown_) DrawDock();
  SDL_RenderPresent(renderer_);
}

bool SdlWindow::SetFullScreen(bool on) {
  if (on == fullScreen_) return true;
  if (SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
    SDL_SetWindowFullscreen(window_, 0);
    SDL_SetWindowSize(window_, width_, height_ + kDockHeight);
    fullScreen_ = false;
    return false;
  }
  fullScreen_ = on;
  dockShown_ = false;
  if (!on) SDL_SetWindowSize(window_, width_, height_ + kDockHeight);
  return true;
}

Point SdlWindow::ToTitle(int32_t x, int32_t y) const {
  const Rect t = Target();
  if (t.Empty()) return {0, 0};
  return {static_cast<int32_t>(static_cast<int64_t>(x - t.left) * width_ / t.Width()),
          static_cast<int32_t>(static_cast<int64_t>(y - t.top) * height_ / t.Height())};
}

std::vector<InputEvent> SdlWindow::Poll() {
  std::vector<InputEvent> out;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    InputEvent ev;
    switch (e.type) {
      case SDL_QUIT:
        ev.kind = InputEvent::kClose;
        out.push_back(ev);
        break;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
          ev.kind = InputEvent::kActivate;
          out.push_back(ev);
        } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
          ev.kind = InputEvent::kDeactivate;
          out.push_back(ev);
        }
        break;
      case SDL_MOUSEMOTION: {
        if (fullScreen_) {
          if (e.motion.y <= 0) dockShown_ = true;
          if (e.motion.y >= kDockHeight) dockShown_ = false;
        }
        const Point p = ToTitle(e.motion.x, e.motion.y);
        ev.kind = InputEvent::kMove;
        ev.x = p.x, ev.y = p.y;
        out.push_back(ev);
        break;
      }
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        // The dock's buttons: exit, and switch between window and full screen.
        if ((!fullScreen_ || dockShown_) && e.button.y < kDockHeight &&
            e.button.button == SDL_BUTTON_LEFT) {
          const int i = (e.button.x - 2) / kButtonWidth;
          if (!down && e.button.x >= 2 && i == 0) {
            ev.kind = InputEvent::kClose;
            out.push_back(ev);
          } else if (!down && e.button.x >= 2 && i == 1) {
            SetFullScreen(!fullScreen_);
          }
          break;
        }
        const Point p = ToTitle(e.button.x, e.button.y);
        ev.kind = down ? InputEvent::kButtonDown : InputEvent::kButtonUp;
        ev.x = p.x, ev.y = p.y;
        ev.button = e.button.button == SDL_BUTTON_LEFT    ? 1
                    : e.button.button == SDL_BUTTON_RIGHT ? 2
                                                          : 3;
        out.push_back(ev);
        break;
      }
      case SDL_MOUSEWHEEL:
        ev.kind = InputEvent::kWheel;
        ev.wheel = e.wheel.y > 0 ? 1 : e.wheel.y < 0 ? -1 : 0;
        if (ev.wheel) out.push_back(ev);
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        if (e.key.repeat) break;  // the player keeps its own repeat timing
        if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_RETURN &&
            (e.key.keysym.mod & KMOD_ALT)) {
          SetFullScreen(!fullScreen_);
          break;
        }
        ev.kind = e.type == SDL_KEYDOWN ? InputEvent::kKeyDown : InputEvent::kKeyUp;
        ev.vk = VirtualKeyOf(e.key.keysym.sym);
        if (ev.vk) out.push_back(ev);
        break;
      default:
        break;
    }
  }
  return out;
}

}  // namespace kova
