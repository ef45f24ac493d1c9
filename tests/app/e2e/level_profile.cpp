// For the end-to-end test: reads a raw 16-bit stereo 44100 Hz capture and prints, in decibels,
// the largest drop in level over four successive 1.1-second windows that each sound quieter than
// the one before (a fade of 127 frames at 35 ms lasts 4.4 s), so the test can tell that a
// fade-out happened.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  const size_t frames = bytes.size() / 4;
  const size_t window = 4410;  // 0.1 s
  std::vector<double> rms;
  for (size_t start = 0; start + window <= frames; start += window) {
    double sum = 0;
    for (size_t i = start; i < start + window; ++i) {
      const int16_t left = static_cast<int16_t>(static_cast<uint8_t>(bytes[4 * i]) |
                                                (static_cast<uint8_t>(bytes[4 * i + 1]) << 8));
      sum += static_cast<double>(left) * left;
    }
    rms.push_back(std::sqrt(sum / window) + 1.0);
  }
  double best = 0;
  for (size_t s = 0; s + 44 <= rms.size(); ++s) {
    double level[4] = {};
    for (int w = 0; w < 4; ++w)
      for (size_t k = 0; k < 11; ++k) level[w] += rms[s + 11 * w + k];
    if (level[0] > level[1] && level[1] > level[2] && level[2] > level[3])
      best = std::max(best, 20 * std::log10(level[0] / level[3]));
  }
  std::printf("%.1f\n", best);
  return 0;
}
