#include "org/sequencer.h"

#include "org/jukebox_engine.h"
#include "runtime/platform/timer_resolution.h"

namespace org {
namespace {

// The platform's smallest timer period, in milliseconds.
constexpr uint32_t kMinimumTimerPeriod = 1;

struct TimerState {
  uint32_t timer_id = 0;
  uint32_t timer_period = 13;
  int resolution_requests = 0;
  uint32_t requested_resolution = 0;
  bool resolution_in_force = false;
};

TimerState g_timer;
ThreadTickSource g_thread_source;
TickSource* g_source = &g_thread_source;

void TickEngine(void* engine) { static_cast<Engine*>(engine)->Tick(); }

}  // namespace

void SeekSong(int32_t step) { JukeboxEngine().SeekStep(step); }

void SongTick() { JukeboxEngine().Tick(); }

void StartSongTimer(uint32_t wait) { StartSongTimerAfter(wait, wait); }

void StartSongTimerAfter(uint32_t first_ms, uint32_t wait) {
  // A timer that still runs is stopped first: its id would otherwise be overwritten and its
  // thread left ticking with nothing able to stop it.
  if (g_timer.timer_id != 0) StopSongTimer();
  // The resolution request: the remembered period, raised to the platform's minimum.
  uint32_t resolution = g_timer.timer_period;
  if (resolution < kMinimumTimerPeriod) resolution = kMinimumTimerPeriod;
  g_timer.timer_period = resolution;
  g_timer.requested_resolution = resolution;
  g_timer.resolution_in_force = true;
  ++g_timer.resolution_requests;
  platform::BeginTimerResolution(resolution);
  g_timer.timer_period = wait;
  g_timer.timer_id = g_source->StartAfter(first_ms, wait, &TickEngine, &JukeboxEngine());
}

bool StopSongTimer() {
  if (g_timer.timer_id != 0 && !g_source->Kill(g_timer.timer_id)) return false;
  // timer_id keeps its value, so a second stop fails at the kill and releases nothing.
  if (g_timer.resolution_in_force) {
    g_timer.resolution_in_force = false;
    --g_timer.resolution_requests;
    platform::EndTimerResolution(g_timer.requested_resolution);
  }
  return g_timer.timer_id != 0;
}

void SetMasterVolume(int32_t volume) { JukeboxEngine().SetMasterVolume(volume); }

int32_t MasterVolume() { return JukeboxEngine().master_volume(); }

JukeboxSequencerState GetSequencerState() {
  JukeboxSequencerState state;
  static_cast<SequencerState&>(state) = JukeboxEngine().sequencer_state();
  state.timer_id = g_timer.timer_id;
  state.timer_period = g_timer.timer_period;
  return state;
}

uint32_t SongTimerId() { return g_timer.timer_id; }

int32_t PublishedPlayStep() { return JukeboxEngine().published_step(); }

int32_t PublishedLoopCount() { return JukeboxEngine().loop_count(); }

int ResolutionRequestsInForce() { return g_timer.resolution_requests; }

uint32_t LastResolutionRequest() { return g_timer.requested_resolution; }

void SetTickSource(TickSource* source) { g_source = source ? source : &g_thread_source; }

void ResetSequencer() {
  if (g_timer.timer_id) g_source->Kill(g_timer.timer_id);
  g_timer = TimerState{};
  JukeboxEngine().ResetSequencer();
  g_source = &g_thread_source;
}

}  // namespace org
