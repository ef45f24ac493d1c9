// When a song's steps sound, in output frames, with a tempo factor: tick k (1, 2, ...) falls on
// frame round(k × wait ms × rate / 1000) at the song's own tempo, and steps last wait / factor
// ms under a factor. A change of factor while playing keeps the part of the current step already
// heard (the clock is re-anchored at that frame), so the stream goes on without a jump. At
// factor 1 from the start, the frames are exactly FrameOfTick's. Plain values, no allocation.
#pragma once

#include <cstdint>

#include "runtime/platform/audio_output.h"

namespace org {

class TickClock {
 public:
  TickClock() = default;
  TickClock(uint16_t wait, int rate) : wait_(wait), rate_(rate) {}

  // The frame tick `tick` falls on.
  int64_t FrameOf(int64_t tick) const;
  // The number of ticks from `next_tick` on whose frames lie before `frame`.
  int64_t TicksBefore(int64_t next_tick, int64_t frame) const;

  double factor() const { return factor_; }
  int rate() const { return rate_; }
  // A new factor from `frame` on, where the coming tick is `next_tick`.
  void Change(double factor, int64_t frame, int64_t next_tick);
  // The same factor as if it had held since frame 0.
  void Restart() {
    anchor_frame_ = 0;
    anchor_tick_ = 0.0;
  }
  bool from_start() const { return anchor_frame_ == 0 && anchor_tick_ == 0.0; }

 private:
  double FramesPerTick() const;

  uint16_t wait_ = 0;
  int rate_ = platform::kDefaultOutputRate;
  double factor_ = 1.0;
  int64_t anchor_frame_ = 0;  // tick anchor_tick_ (fractional) falls on this frame
  double anchor_tick_ = 0.0;
};

}  // namespace org
