// Maps the blocks a real-time audio output pulls onto the fine clock's time line, so that a
// control call lands on the output frame that matches the moment it was made. The callback's own
// wake-up times jitter; a delay-locked loop filters them into a smooth, continuous line (each
// block starts where the previous one ended), which also follows a device whose clock runs a
// little faster or slower than ours. The line runs a fixed latency behind the callback, so that
// every call a block stands for has been made by the time the block is mixed.
// Used by the SDL output back end on its audio thread.
#pragma once

#include <cstdint>

#include "runtime/platform/audio_output.h"

namespace platform {

class StreamClock {
 public:
  // `latency_blocks`: how many block periods the time line runs behind the callback.
  explicit StreamClock(double latency_blocks = 2.0, double bandwidth_hz = 0.5);

  // Forgets the history; the next block starts a new line.
  void Reset();

  // Called once per pulled block at its callback time `now_us`; returns the span of call time
  // this block stands for.
  BlockTiming OnBlock(int64_t now_us, int frames, int rate);

 private:
  double latency_blocks_;
  double bandwidth_hz_;
  bool started_ = false;
  int last_frames_ = 0;
  int last_rate_ = 0;
  double t0_ = 0;      // filtered time of this block's callback, microseconds
  double t1_ = 0;      // predicted time of the next one
  double period_ = 0;  // filtered block period, microseconds
  double b_ = 0;
  double c_ = 0;
};

}  // namespace platform
