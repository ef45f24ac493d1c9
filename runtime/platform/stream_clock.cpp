#include "runtime/platform/stream_clock.h"

#include <cmath>
#include <numbers>

namespace platform {
namespace {
// A callback further than this many periods off the prediction (a stall, a suspended stream)
// restarts the line instead of bending it.
constexpr double kRestartPeriods = 4.0;
// During the start burst callbacks come closer together than this share of a block.
constexpr double kBurstShare = 0.5;
}  // namespace

StreamClock::StreamClock(double latency_blocks, double bandwidth_hz)
    : latency_blocks_(latency_blocks), bandwidth_hz_(bandwidth_hz) {}

void StreamClock::Reset() {
  started_ = false;
  settled_ = false;
}

void StreamClock::StartLine(double now, int frames, int rate, double nominal) {
  // Second-order loop coefficients for the chosen bandwidth at this block period.
  const double omega = 2.0 * std::numbers::pi * bandwidth_hz_ * nominal * 1e-6;
  b_ = std::sqrt(2.0) * omega;
  c_ = omega * omega;
  period_ = nominal;
  t0_ = now;
  t1_ = now + nominal;
  started_ = true;
  last_frames_ = frames;
  last_rate_ = rate;
}

BlockTiming StreamClock::OnBlock(int64_t now_us, int frames, int rate) {
  const double nominal = frames * 1e6 / rate;
  const double now = static_cast<double>(now_us);
  const bool format_changed = frames != last_frames_ || rate != last_rate_;
  if (!started_ || format_changed) {
    settled_ = false;
    StartLine(now, frames, rate, nominal);
  } else if (!settled_) {
    // Still filling the device's buffer: the line starts again at each callback of the burst,
    // and the first callback after a real pause anchors it.
    settled_ = now - last_now_ >= kBurstShare * nominal;
    StartLine(now, frames, rate, nominal);
  } else if (std::fabs(now - t1_) > kRestartPeriods * period_) {
    if (now > t1_) ++underruns_;
    StartLine(now, frames, rate, nominal);
  } else {
    const double error = now - t1_;
    if (error >= nominal) ++underruns_;
    t0_ = t1_;
    t1_ += b_ * error + period_;
    period_ += c_ * error;
  }
  last_now_ = now;
  const double latency = latency_blocks_ * nominal;
  return {static_cast<int64_t>(std::llround(t0_ - latency)),
          static_cast<int64_t>(std::llround(t1_ - latency))};
}

}  // namespace platform
