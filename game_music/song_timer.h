// The periodic timer that plays an engine's steps (the music player's, the game's face's): a
// thread of its own that calls the tick at fixed periods kept on absolute deadlines of the
// monotonic clock, so the tempo never drifts: ticks that fell due while the thread woke late are
// played at once (each standing for its own deadline), not slipped; and the game's bookkeeping
// around it (SongTimer).
// The tick carries its context (the engine it plays). The tick source is replaceable: tests
// install a manual one and step the ticks themselves. Started and stopped on the main thread; the
// tick runs on the timer's thread.
#pragma once

#include <cstdint>

namespace org {

class Engine;

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

// The game's timer on one engine: each start plays the engine's steps every `wait` ms, with the
// game's bookkeeping — the running timer's id, the remembered period, and a timer resolution
// request taken from the remembered period at each start and given back once at the stop that
// follows (our platform's timers need none, so the request is only kept; on Windows it is real).
class SongTimer {
 public:
  explicit SongTimer(Engine* engine) : engine_(engine) {}
  ~SongTimer() { Stop(); }
  SongTimer(const SongTimer&) = delete;
  SongTimer& operator=(const SongTimer&) = delete;

  // Starts the timer with `wait` ms per step; the first tick comes one period later. A timer
  // that still runs is stopped first.
  void Start(uint32_t wait) { StartAfter(wait, wait); }
  // The same with the first tick `first_ms` later (playback resumed in the middle of a step).
  void StartAfter(uint32_t first_ms, uint32_t wait);
  // Stops it; returns when no tick runs. False when there was nothing to kill.
  bool Stop();

  // The running timer's id (0 before the first start; a stopped timer keeps its id).
  uint32_t id() const { return id_; }
  // The remembered period (ms): the last start's wait, 13 before any.
  uint32_t period() const { return period_; }
  // The last resolution request (ms; 0 before any), and whether it is still held.
  uint32_t last_resolution_request() const { return requested_resolution_; }
  bool resolution_held() const { return resolution_held_; }

  // Replaces the tick source (null restores the timer's own thread). Only while no timer runs.
  void SetTickSource(TickSource* source) { source_ = source ? source : &thread_source_; }
  // Back to the start state: the timer killed, no id, period 13, no request, its own thread.
  void Reset();

 private:
  // Ends the resolution request in force, if one is (on Windows, timeEndPeriod).
  void ReleaseResolution();

  Engine* engine_;
  ThreadTickSource thread_source_;
  TickSource* source_ = &thread_source_;
  uint32_t id_ = 0;
  uint32_t period_ = 13;
  uint32_t requested_resolution_ = 0;
  bool resolution_held_ = false;
};

}  // namespace org
