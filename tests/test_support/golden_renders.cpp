#include "test_support/golden_renders.h"

#include <fstream>
#include <sstream>

namespace test_support {

std::vector<GoldenRender> GoldenRenders() {
  std::ifstream in(PROJECT_SOURCE_DIR "/tests/tools/golden_renders.txt");
  std::vector<GoldenRender> renders;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    GoldenRender render;
    fields >> render.song >> render.settings >> render.frames >> std::hex >> render.hash;
    renders.push_back(render);
  }
  return renders;
}

std::vector<std::string> DemoSongNames() {
  return {"Joy", "Korobeiniki", "Greensleeves", "Sakura", "Jacques", "Twinkle"};
}

uint64_t GoldenHash(const int16_t* samples, size_t count) {
  uint64_t hash = 1469598103934665603ull;  // not the FNV offset basis: see the header
  for (size_t i = 0; i < count; ++i)
    for (int byte = 0; byte < 2; ++byte) {
      hash ^= static_cast<uint8_t>(static_cast<uint16_t>(samples[i]) >> (8 * byte));
      hash *= 1099511628211ull;
    }
  return hash;
}

}  // namespace test_support
