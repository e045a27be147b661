// The wall clock of windowed runs (headless runs never read it).
#pragma once

#include <cstdint>

namespace kova {

// Milliseconds from an arbitrary start, never going back.
uint64_t MonotonicMs();
void SleepMs(uint32_t ms);

}  // namespace kova
