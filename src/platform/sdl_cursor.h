// The mouse cursor over the player's window: one custom cursor slot and the system arrow.
#pragma once

#include <cstdint>

struct SDL_Cursor;

namespace kova {

class SdlCursor {
 public:
  SdlCursor() = default;
  ~SdlCursor();
  SdlCursor(const SdlCursor&) = delete;
  SdlCursor& operator=(const SdlCursor&) = delete;

  // Puts a straight-alpha RGBA picture (rows top-down, 4 bytes per pixel) into the custom slot,
  // replacing and freeing what it held; a hot spot outside the picture is moved to its edge.
  // False when the display refuses it; the slot then keeps what it held.
  bool Load(int32_t width, int32_t height, int32_t hotX, int32_t hotY, const uint8_t* rgba);
  // Shows the custom slot, or the system arrow. An empty slot shows the arrow.
  void Show(bool custom);
  bool HasCustom() const { return custom_ != nullptr; }

 private:
  SDL_Cursor* custom_ = nullptr;
  SDL_Cursor* arrow_ = nullptr;
  bool showCustom_ = false;
};

}  // namespace kova
