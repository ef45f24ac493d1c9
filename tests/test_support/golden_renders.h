// The renders of every demo song under several settings, as the engine made them before it became
// one object per song (tests/tools/golden_renders.txt), and the hash they are compared by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

struct GoldenRender {
  std::string song;      // "Joy" ... (data/Org/<song>.org)
  std::string settings;  // default, rate48000, fade, mute, nearest, seconds, loops3
  int64_t frames = 0;
  uint64_t hash = 0;  // GoldenHash of the 16-bit samples
};

std::vector<GoldenRender> GoldenRenders();

// The demo songs, by name.
std::vector<std::string> DemoSongNames();

// The golden values' hash of 16-bit samples as little-endian bytes: the FNV-1a 64 step (each
// byte xored in, then a multiply by the FNV prime 1099511628211) started from 1469598103934665603,
// which is the FNV offset basis 14695981039346656037 with its last digit lost. So not FNV-1a 64
// itself; the golden values were made with this start, and it keeps them.
uint64_t GoldenHash(const int16_t* samples, size_t count);

}  // namespace test_support
