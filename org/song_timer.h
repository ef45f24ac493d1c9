// The periodic timer that drives the jukebox's sequencer: a thread of its own that calls the tick
// at fixed periods kept on absolute deadlines of the monotonic clock, so the tempo never drifts:
// ticks that fell due while the thread woke late are played at once (each standing for its own
// deadline), not slipped.
// The tick carries its context (the engine it plays). The tick source is replaceable: tests
// install a manual one and step the ticks themselves. Started and stopped on the main thread; the
// tick runs on the timer's thread.
#pragma once

#include <cstdint>

namespace org {

// Called with the context given at the start.
using TickFunction = void (*)(void* context);

class TickSource {
 public:
  virtual ~TickSource() = default;
  // Starts calling `tick(context)` every `period_ms`, the first time one period after the
  // start. Returns a timer id above 0, or 0 when the timer cannot be made.
  uint32_t Start(uint32_t period_ms, TickFunction tick, void* context = nullptr) {
    return StartAfter(period_ms, period_ms, tick, context);
  }
  // The same with the first tick `first_ms` after the start (0: at once), then every period:
  // playback resumed in the middle of a step after a seek.
  virtual uint32_t StartAfter(uint32_t first_ms, uint32_t period_ms, TickFunction tick,
                              void* context = nullptr) = 0;
  // Kills timer `id`; returns only when no tick runs any more. False when `id` is not running.
  virtual bool Kill(uint32_t id) = 0;
};

// The real source: one thread per running timer.
class ThreadTickSource final : public TickSource {
 public:
  ThreadTickSource();
  ~ThreadTickSource() override;
  uint32_t StartAfter(uint32_t first_ms, uint32_t period_ms, TickFunction tick,
                      void* context = nullptr) override;
  bool Kill(uint32_t id) override;

 private:
  struct Impl;
  Impl* impl_;
};

// A source that never ticks by itself: the owner calls Fire() for each period.
class ManualTickSource final : public TickSource {
 public:
  uint32_t StartAfter(uint32_t first_ms, uint32_t period_ms, TickFunction tick,
                      void* context = nullptr) override;
  bool Kill(uint32_t id) override;
  // Runs one tick when a timer is running; false otherwise.
  bool Fire();
  bool running() const { return running_id_ != 0; }
  uint32_t period_ms() const { return period_ms_; }
  uint32_t first_ms() const { return first_ms_; }

 private:
  uint32_t next_id_ = 1;
  uint32_t running_id_ = 0;
  uint32_t period_ms_ = 0;
  uint32_t first_ms_ = 0;
  TickFunction tick_ = nullptr;
  void* context_ = nullptr;
};

}  // namespace org
