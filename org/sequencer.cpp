#include "org/sequencer.h"

#include "org/drum_voice.h"
#include "org/melody_voice.h"

namespace org {
namespace {

// The platform's smallest timer period, in milliseconds.
constexpr uint32_t kMinimumTimerPeriod = 1;

SequencerState g_state;
std::atomic<int32_t> g_master_volume{127};
std::atomic<int32_t> g_published_step{0};
std::atomic<int32_t> g_loop_count{0};
ThreadTickSource g_thread_source;
TickSource* g_source = &g_thread_source;
int g_resolution_requests = 0;
uint32_t g_requested_resolution = 0;
bool g_resolution_in_force = false;

void PlayMelodyTrack(int i, const OrgTrack& track, int32_t master) {
  OrgNote* event = g_state.cursor[i];
  if (event && event->position == g_state.play_step) {
    if (event->key != kNoValue) {
      if (track.one_shot) {
        StartOneShotNote(i, event->key, track.finetune);
      } else {
        StartNote(i, event->key, track.finetune);
      }
      g_state.steps_left[i] = event->length;
    }
    if (event->pan != kNoValue) SetMelodyPan(i, event->pan);
    if (event->volume != kNoValue) g_state.track_volume[i] = event->volume;
    g_state.cursor[i] = event->next;
  }
  if (g_state.steps_left[i] == 0) {
    if (track.one_shot) {
      EndOneShotNote(i);
    } else {
      EndNote(i);
    }
  }
  if (g_state.steps_left[i] > 0) --g_state.steps_left[i];
  if (g_state.cursor[i]) SetMelodyVolume(i, g_state.track_volume[i] * master / 127);
}

void PlayDrumTrack(int j, int32_t master) {
  OrgNote* event = g_state.cursor[kMelodyTracks + j];
  if (event && event->position == g_state.play_step) {
    if (event->key != kNoValue) PlayDrum(j, event->key);
    if (event->pan != kNoValue) SetDrumPan(j, event->pan);
    if (event->volume != kNoValue) g_state.drum_volume[j] = event->volume;
    g_state.cursor[kMelodyTracks + j] = event->next;
  }
  if (g_state.cursor[kMelodyTracks + j]) SetDrumVolume(j, g_state.drum_volume[j] * master / 127);
}

}  // namespace

void SeekSong(int32_t step) {
  const OrgSong& song = GetOrgSong();
  for (int t = 0; t < kTrackCount; ++t) {
    OrgNote* event = song.tracks[t].first;
    while (event && event->position < step) event = event->next;
    g_state.cursor[t] = event;
  }
  g_state.play_step = step;
  g_published_step.store(step, std::memory_order_relaxed);
}

void SongTick() {
  const OrgSong& song = GetOrgSong();
  for (int i = 0; i < kMelodyTracks; ++i)
    PlayMelodyTrack(i, song.tracks[i], g_master_volume.load(std::memory_order_relaxed));
  for (int j = 0; j < kDrumSlots; ++j)
    PlayDrumTrack(j, g_master_volume.load(std::memory_order_relaxed));
  ++g_state.play_step;
  if (g_state.play_step >= song.loop_end) {
    SeekSong(song.loop_start);
    g_loop_count.fetch_add(1, std::memory_order_relaxed);
  }
  g_published_step.store(g_state.play_step, std::memory_order_relaxed);
}

void StartSongTimer(uint32_t wait) {
  // A timer that still runs is stopped first: its id would otherwise be overwritten and its
  // thread left ticking with nothing able to stop it.
  if (g_state.timer_id != 0) StopSongTimer();
  // The resolution request: the remembered period, raised to the platform's minimum.
  uint32_t resolution = g_state.timer_period;
  if (resolution < kMinimumTimerPeriod) resolution = kMinimumTimerPeriod;
  g_state.timer_period = resolution;
  g_requested_resolution = resolution;
  g_resolution_in_force = true;
  ++g_resolution_requests;
  g_state.timer_period = wait;
  g_state.timer_id = g_source->Start(wait, &SongTick);
}

bool StopSongTimer() {
  if (g_state.timer_id != 0 && !g_source->Kill(g_state.timer_id)) return false;
  // timer_id keeps its value, so a second stop fails at the kill and releases nothing.
  if (g_resolution_in_force) {
    g_resolution_in_force = false;
    --g_resolution_requests;
  }
  return g_state.timer_id != 0;
}

void SetMasterVolume(int32_t volume) { g_master_volume.store(volume, std::memory_order_relaxed); }

int32_t MasterVolume() { return g_master_volume.load(std::memory_order_relaxed); }

const SequencerState& GetSequencerState() { return g_state; }

int32_t PublishedPlayStep() { return g_published_step.load(std::memory_order_relaxed); }

int32_t PublishedLoopCount() { return g_loop_count.load(std::memory_order_relaxed); }

int ResolutionRequestsInForce() { return g_resolution_requests; }

uint32_t LastResolutionRequest() { return g_requested_resolution; }

void SetTickSource(TickSource* source) { g_source = source ? source : &g_thread_source; }

void ResetSequencer() {
  if (g_state.timer_id) g_source->Kill(g_state.timer_id);
  g_state = SequencerState{};
  g_master_volume.store(127);
  g_published_step.store(0);
  g_loop_count.store(0);
  g_resolution_requests = 0;
  g_requested_resolution = 0;
  g_resolution_in_force = false;
  g_source = &g_thread_source;
}

}  // namespace org
