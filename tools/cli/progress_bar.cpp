#include "tools/cli/progress_bar.h"

#include <algorithm>

#include "runtime/platform/platform_clock.h"

namespace tools {

ProgressBar::ProgressBar(std::FILE* out, bool shown, int parts, ClockMs clock)
    : out_(out),
      shown_(shown),
      parts_(std::max(parts, 1)),
      clock_(clock ? clock : &platform::ClockMs) {}

void ProgressBar::Update(int part, double fraction) {
  if (!shown_ || finished_) return;
  const double overall = std::clamp((part + fraction) / parts_, 0.0, 1.0);
  const uint32_t now = clock_();
  const bool done = overall >= 1.0;
  if (drawn_ && !done && now - last_ms_ < kIntervalMs) return;
  last_ms_ = now;
  drawn_ = true;
  finished_ = done;
  ++redraws_;
  const int width = 40;
  const int filled = static_cast<int>(overall * width);
  std::fprintf(out_, "\r[%.*s%*s] %3d%%", filled, "########################################",
               width - filled, "", static_cast<int>(overall * 100));
  if (done) std::fputc('\n', out_);
  std::fflush(out_);
}

}  // namespace tools
