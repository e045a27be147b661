// Keys reach scripts as Windows virtual-key codes, whatever the desktop calls them.
#pragma once

#include <cstdint>

namespace kova {

// The virtual-key code of an SDL key code, or 0 for keys titles cannot see.
int32_t VirtualKeyOf(int32_t sdlKeycode);

}  // namespace kova
