// Maps the blocks a real-time audio output pulls onto the fine clock's time line, so that a
// control call lands on the output frame that matches the moment it was made. The callback's own
// wake-up times jitter; a delay-locked loop filters them into a smooth, continuous line (each
// block starts where the previous one ended), which also follows a device whose clock runs a
// little faster or slower than ours. The line runs a fixed latency behind the callback, so that
// every call a block stands for has been made by the time the block is mixed.
//
// A sound server fills its buffer first: the stream's first callbacks come in a burst, much
// closer together than a block lasts. The line is anchored only once that burst is over (at the
// first callback that comes at least half a block after the one before), so the loop never has
// to bend the line for seconds to work off the burst's offset (which moved onsets by
// milliseconds). Callbacks that come a block or more later than the line expects are counted as
// underruns: the device had run out of sound by then.
// Used by the SDL output back end on its audio thread.
#pragma once

#include <cstdint>

#include "runtime/platform/audio_output.h"

namespace platform {

class StreamClock {
 public:
  // `latency_blocks`: how many block periods the time line runs behind the callback.
  explicit StreamClock(double latency_blocks = 2.0, double bandwidth_hz = 0.5);

  // Forgets the history; the next block starts a new line. Keeps the underrun count.
  void Reset();

  // Called once per pulled block at its callback time `now_us`; returns the span of call time
  // this block stands for.
  BlockTiming OnBlock(int64_t now_us, int frames, int rate);

  // Callbacks that came at least a block later than the line expected, since construction.
  uint64_t underruns() const { return underruns_; }
  // True once the start burst is over and the line is anchored to a steady stream.
  bool settled() const { return settled_; }

 private:
  void StartLine(double now, int frames, int rate, double nominal);

  double latency_blocks_;
  double bandwidth_hz_;
  bool started_ = false;
  bool settled_ = false;  // the start burst is over
  int last_frames_ = 0;
  int last_rate_ = 0;
  double last_now_ = 0;  // the previous callback's time, microseconds
  double t0_ = 0;        // filtered time of this block's callback, microseconds
  double t1_ = 0;        // predicted time of the next one
  double period_ = 0;    // filtered block period, microseconds
  double b_ = 0;
  double c_ = 0;
  uint64_t underruns_ = 0;
};

}  // namespace platform
