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
  uint64_t hash = 0;  // Fnv1a of the 16-bit samples
};

std::vector<GoldenRender> GoldenRenders();

// The demo songs, by name.
std::vector<std::string> DemoSongNames();

// FNV-1a 64 of 16-bit samples as little-endian bytes.
uint64_t Fnv1a(const int16_t* samples, size_t count);

}  // namespace test_support
