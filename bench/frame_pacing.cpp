// The jukebox's frame pacing, measured by its own loop clock: runs the real jukebox on the demo
// data (SDL's offscreen video and dummy audio unless set otherwise) for 600 frames, and reports
// the time from start to the first presented frame and the median and 95th percentile of the
// frame period. Usage: frame_pacing DATA_FOLDER
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/jukebox_app.h"
#include "runtime/core/clock.h"

namespace {

constexpr int kFrames = 600;
std::vector<int> g_times;

bool Observe(int now) {
  g_times.push_back(now);
  return static_cast<int>(g_times.size()) < kFrames;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || chdir(argv[1]) != 0) {
    std::fprintf(stderr, "usage: frame_pacing DATA_FOLDER\n");
    return 2;
  }
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  g_times.reserve(kFrames);
  const int start = runtime::ReadClockMs();
  app::SetFrameObserver(&Observe);
  app::RunJukebox();
  if (g_times.size() < 2) return 1;
  std::vector<int> periods;
  for (size_t i = 1; i < g_times.size(); ++i) periods.push_back(g_times[i] - g_times[i - 1]);
  std::sort(periods.begin(), periods.end());
  std::printf("first frame presented %d ms after start\n", g_times.front() - start);
  std::printf("frame period over %zu frames: median %d ms, 95th percentile %d ms, max %d ms\n",
              periods.size(), periods[periods.size() / 2], periods[periods.size() * 95 / 100],
              periods.back());
  return 0;
}
