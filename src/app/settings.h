// The machine-local settings of the player, kept in game.ini beside the title.
#pragma once

#include <cstdint>
#include <filesystem>

namespace kova {

struct GameSettings {
  bool useDirectSound = true;   // sound through the mixing device rather than plain wave-out
  int32_t delayTime = 500;      // wave-out buffering, milliseconds: 100..500 in steps of 100
  bool integerScaling = false;  // full screen scales by whole multiples only
};

// The settings of that file; a missing or unreadable file leaves the defaults.
GameSettings LoadGameSettings(const std::filesystem::path& file);

}  // namespace kova
