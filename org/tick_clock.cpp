#include "org/tick_clock.h"

#include <algorithm>
#include <cmath>

#include "org/step_replay.h"

namespace org {

double TickClock::FramesPerTick() const {
  return static_cast<double>(wait_) * (rate_ / 1000.0) / factor_;
}

int64_t TickClock::FrameOf(int64_t tick) const {
  if (factor_ == 1.0 && from_start()) return FrameOfTick(wait_, rate_, tick);
  return anchor_frame_ + std::llround((static_cast<double>(tick) - anchor_tick_) *
                                      static_cast<double>(wait_) * (rate_ / 1000.0) / factor_);
}

int64_t TickClock::TicksBefore(int64_t next_tick, int64_t frame) const {
  // From an estimate, then exactly.
  const double per_tick = FramesPerTick();
  int64_t last = per_tick > 0
                     ? static_cast<int64_t>(static_cast<double>(frame - anchor_frame_) / per_tick +
                                            anchor_tick_)
                     : next_tick;
  last = std::max<int64_t>(last, next_tick - 1);
  while (last >= next_tick && FrameOf(last) >= frame) --last;
  while (FrameOf(last + 1) < frame) ++last;
  return std::max<int64_t>(0, last - next_tick + 1);
}

void TickClock::Change(double factor, int64_t frame, int64_t next_tick) {
  if (factor == factor_) return;
  // The part of the current step already heard: between the last tick and the coming one.
  const int64_t last = next_tick > 1 ? FrameOf(next_tick - 1) : 0;
  const int64_t next = FrameOf(next_tick);
  const double heard =
      next > last ? std::clamp(static_cast<double>(frame - last) / (next - last), 0.0, 1.0) : 1.0;
  anchor_tick_ = static_cast<double>(next_tick - 1) + heard;
  anchor_frame_ = frame;
  factor_ = factor;
}

}  // namespace org
