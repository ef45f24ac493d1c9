#include "app/song_clock.h"

#include <algorithm>
#include <cstdio>

namespace app {
namespace {

std::string Clock(int64_t ms) {
  const int64_t seconds = std::max<int64_t>(ms, 0) / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text;
}

}  // namespace

std::string SongClockText(const JukeboxModel& model) {
  const int64_t length = model.played_length_ms(model.current_index());
  return Clock(model.elapsed_ms()) + " / " + (length < 0 ? std::string("ENDLESS") : Clock(length));
}

}  // namespace app
