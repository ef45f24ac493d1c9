#include "game_music/song_timer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "org/engine.h"
#include "runtime/platform/timer_resolution.h"
#include "runtime/platform/sound_mixer.h"

namespace org {
namespace {

// The platform's smallest timer period, in milliseconds.
constexpr uint32_t kMinimumTimerPeriod = 1;

void TickEngine(void* engine) { static_cast<Engine*>(engine)->Tick(); }

// A stall longer than this (the machine suspended) is not caught up on.
constexpr std::chrono::milliseconds kLongestCatchUp{1000};

}  // namespace

struct ThreadTickSource::Impl {
  using Clock = std::chrono::steady_clock;  // the monotonic clock

  std::mutex mutex;
  std::condition_variable wake;
  bool stop = false;
  uint32_t running_id = 0;
  uint32_t next_id = 1;
  std::thread thread;

  // Sleeps until `deadline` or a stop request; true when the deadline came.
  bool SleepUntil(Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex);
    return !wake.wait_until(lock, deadline, [this] { return stop; });
  }

  void Run(uint32_t first_ms, uint32_t period_ms, TickFunction tick, void* context) {
    const auto period = std::chrono::milliseconds(period_ms);
    Clock::time_point next = Clock::now() + std::chrono::milliseconds(first_ms) - period;
    while (true) {
      next += period;
      if (!SleepUntil(next)) return;
      {
        // The tick's sounds stand for its deadline, not for the moment the system woke us.
        const platform::ScheduledCallScope on_time(
            std::chrono::duration_cast<std::chrono::microseconds>(next.time_since_epoch()).count());
        tick(context);
      }
      // A tick that comes late still stands for its own deadline, and the ticks that fell due
      // meanwhile follow at once: the song keeps its tempo whatever its step (1 ms steps wake
      // late all the time). Only after a real stall (the machine suspended) does it go on from
      // now instead of bursting through the whole stall.
      const Clock::time_point now = Clock::now();
      if (next + kLongestCatchUp < now) next = now;
    }
  }
};

ThreadTickSource::ThreadTickSource() : impl_(new Impl) {}

ThreadTickSource::~ThreadTickSource() {
  if (impl_->running_id) Kill(impl_->running_id);
  delete impl_;
}

uint32_t ThreadTickSource::StartAfter(uint32_t first_ms, uint32_t period_ms, TickFunction tick,
                                      void* context) {
  if (impl_->running_id || period_ms == 0 || !tick) return 0;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stop = false;
  }
  impl_->running_id = impl_->next_id++;
  impl_->thread = std::thread([this, first_ms, period_ms, tick, context] {
    impl_->Run(first_ms, period_ms, tick, context);
  });
  return impl_->running_id;
}

bool ThreadTickSource::Kill(uint32_t id) {
  if (id == 0 || id != impl_->running_id) return false;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stop = true;
  }
  impl_->wake.notify_all();
  impl_->thread.join();  // a tick in progress finishes first
  impl_->running_id = 0;
  return true;
}

uint32_t ManualTickSource::StartAfter(uint32_t first_ms, uint32_t period_ms, TickFunction tick,
                                      void* context) {
  if (running_id_ || period_ms == 0 || !tick) return 0;
  running_id_ = next_id_++;
  period_ms_ = period_ms;
  first_ms_ = first_ms;
  tick_ = tick;
  context_ = context;
  return running_id_;
}

bool ManualTickSource::Kill(uint32_t id) {
  if (id == 0 || id != running_id_) return false;
  running_id_ = 0;
  return true;
}

bool ManualTickSource::Fire() {
  if (!running_id_) return false;
  tick_(context_);
  return true;
}

void SongTimer::StartAfter(uint32_t first_ms, uint32_t wait) {
  // A timer that still runs is stopped first: its id would otherwise be overwritten and its
  // thread left ticking with nothing able to stop it.
  if (id_ != 0) Stop();
  // The resolution request: the remembered period, raised to the platform's minimum.
  requested_resolution_ = std::max(period_, kMinimumTimerPeriod);
  resolution_held_ = true;
  platform::BeginTimerResolution(requested_resolution_);
  period_ = wait;
  id_ = source_->StartAfter(first_ms, wait, &TickEngine, engine_);
}

void SongTimer::ReleaseResolution() {
  if (resolution_held_) platform::EndTimerResolution(requested_resolution_);
  resolution_held_ = false;
}

bool SongTimer::Stop() {
  if (id_ != 0 && !source_->Kill(id_)) return false;
  // The id keeps its value, so a second stop fails at the kill and gives nothing back.
  ReleaseResolution();
  return id_ != 0;
}

void SongTimer::Reset() {
  if (id_) source_->Kill(id_);
  id_ = 0;
  period_ = 13;
  ReleaseResolution();
  requested_resolution_ = 0;
  source_ = &thread_source_;
}

}  // namespace org
