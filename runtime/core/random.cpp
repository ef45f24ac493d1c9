#include "runtime/core/random.h"

#include <array>

namespace runtime {
namespace {

constexpr int kStateWords = 624;
constexpr int kShift = 397;
constexpr uint32_t kMatrixA = 0x9908B0DF;

struct RandomState {
  // Word 624 holds a copy of word 0 during a regeneration.
  std::array<uint32_t, kStateWords + 1> state{};
  std::array<uint32_t, kStateWords> output{};
  int next_index = kStateWords;
  bool seeded = false;
};
RandomState g_random;

uint32_t Twist(uint32_t current, uint32_t next, uint32_t far) {
  const uint32_t y = (current & 0x80000000u) | (next & 0x7FFFFFFFu);
  return far ^ (y >> 1) ^ ((y & 1u) ? kMatrixA : 0u);
}

uint32_t Temper(uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

}  // namespace

void SeedRandom(uint32_t seed) {
  for (int i = 0; i < kStateWords; ++i) {
    g_random.state[i] = seed & 0xFFFF0000u;
    seed = 69069u * seed + 1u;
    g_random.state[i] |= seed >> 16;
    seed = 69069u * seed + 1u;
  }
  g_random.seeded = true;
}

void RegenerateRandom() {
  auto& s = g_random.state;
  for (int i = 0; i < kStateWords - kShift; ++i) s[i] = Twist(s[i], s[i + 1], s[i + kShift]);
  s[kStateWords] = s[0];
  for (int i = kStateWords - kShift; i < kStateWords; ++i)
    s[i] = Twist(s[i], s[i + 1], s[i - (kStateWords - kShift)]);
  for (int i = 0; i < kStateWords; ++i) g_random.output[i] = Temper(s[i]);
  g_random.next_index = 0;
}

int RandomUpTo(int max) {
  const int64_t n = int64_t{max} + 1;
  if (g_random.next_index >= kStateWords) {
    if (!g_random.seeded) SeedRandom(4357);
    RegenerateRandom();
  }
  const uint32_t r = g_random.output[g_random.next_index++];
  // The upper half of the 64-bit product: floor(r * n / 2^32), so max itself can come out.
  return static_cast<int>((static_cast<int64_t>(r) * n) >> 32);
}

uint32_t RandomBlockWord(int index) { return g_random.output[index]; }

void ResetRandom() { g_random = RandomState{}; }

}  // namespace runtime
