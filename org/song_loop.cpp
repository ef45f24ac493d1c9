#include "org/song_loop.h"

#include <algorithm>
#include <limits>

namespace org {
namespace {
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
}  // namespace

int64_t SaturatingAdd(int64_t a, int64_t b) { return a > kMax - b ? kMax : a + b; }

int64_t SaturatingMultiply(int64_t a, int64_t b) {
  if (a == 0 || b == 0) return 0;
  return a > kMax / b ? kMax : a * b;
}

SongLoop LoopOf(const ParsedSong& song) {
  SongLoop loop;
  const int64_t start = song.loop_start;
  const int64_t end = song.loop_end;
  loop.first_loopback = std::max<int64_t>(end, 1);
  loop.loop_steps = end > start ? end - start : 1;
  loop.start_reached_by_stepping = start >= 0 && start < end;
  loop.intro_steps = loop.start_reached_by_stepping ? start : loop.first_loopback;
  return loop;
}

int64_t SongLoop::StepsForPasses(int64_t passes) const {
  return SaturatingAdd(intro_steps, SaturatingMultiply(std::max<int64_t>(passes, 1), loop_steps));
}

}  // namespace org
