#include "org/step_sequencer.h"

#include <algorithm>

namespace org {

void StepSequencer::ClearActivity() {
  std::fill(std::begin(activity_.drum_key), std::end(activity_.drum_key), kNoValue);
  std::fill(std::begin(activity_.pan), std::end(activity_.pan), kNoValue);
}

void StepSequencer::Seek(const ParsedSong& song, int32_t step) {
  for (int t = 0; t < kTrackCount; ++t) {
    const std::vector<OrgEvent>& events = song.tracks[t].events;
    int32_t at = 0;
    const int32_t count = static_cast<int32_t>(events.size());
    while (at < count && events[at].position < step) ++at;
    state_.cursor[t] = at;
  }
  state_.play_step = step;
}

void StepSequencer::PlayMelodyTrack(int i, const ParsedSong::Track& track, int32_t master,
                                    MelodyVoiceSet& melody) {
  const int32_t count = static_cast<int32_t>(track.events.size());
  int32_t& cursor = state_.cursor[i];
  if (cursor < count && track.events[cursor].position == state_.play_step) {
    const OrgEvent& event = track.events[cursor];
    if (event.key != kNoValue) {
      if (track.one_shot) {
        melody.StartOneShotNote(i, event.key, track.finetune);
      } else {
        melody.StartNote(i, event.key, track.finetune);
      }
      state_.steps_left[i] = event.length;
    }
    if (event.pan != kNoValue) {
      melody.SetPan(i, event.pan);
      activity_.pan[i] = event.pan;
    }
    if (event.volume != kNoValue) state_.track_volume[i] = event.volume;
    ++cursor;
  }
  if (state_.steps_left[i] == 0) {
    if (track.one_shot) {
      melody.EndOneShotNote(i);
    } else {
      melody.EndNote(i);
    }
  }
  if (state_.steps_left[i] > 0) --state_.steps_left[i];
  if (cursor < count) melody.SetVolume(i, state_.track_volume[i] * master / 127);
}

void StepSequencer::PlayDrumTrack(int j, const ParsedSong::Track& track, int32_t master,
                                  DrumSlotSet& drums) {
  const int32_t count = static_cast<int32_t>(track.events.size());
  int32_t& cursor = state_.cursor[kMelodyTracks + j];
  if (cursor < count && track.events[cursor].position == state_.play_step) {
    const OrgEvent& event = track.events[cursor];
    if (event.key != kNoValue) {
      drums.Play(j, event.key);
      activity_.drum_key[j] = event.key;
    }
    if (event.pan != kNoValue) {
      drums.SetPan(j, event.pan);
      activity_.pan[kMelodyTracks + j] = event.pan;
    }
    if (event.volume != kNoValue) state_.drum_volume[j] = event.volume;
    ++cursor;
  }
  if (cursor < count) drums.SetVolume(j, state_.drum_volume[j] * master / 127);
}

int64_t StepSequencer::IdleStepsAhead(const ParsedSong& song, const MelodyVoiceSet& melody,
                                      int64_t limit) const {
  for (int i = 0; i < kMelodyTracks; ++i)
    if (state_.steps_left[i] != 0 || melody.current_key(i) != kNoValue) return 0;
  // Back at the loop start, a drum track with events ahead sets its volume on the coming step
  // though the step before may have set none (its last event was behind it): that volume may be
  // new (its last event's), so the step is played.
  if (state_.play_step == song.loop_start)
    for (int j = 0; j < kDrumSlots; ++j)
      if (state_.cursor[kMelodyTracks + j] <
          static_cast<int32_t>(song.tracks[kMelodyTracks + j].events.size()))
        return 0;
  // The step that loops back is played as it comes.
  int64_t next_busy = int64_t{song.loop_end} - 1;
  for (int t = 0; t < kTrackCount; ++t) {
    const std::vector<OrgEvent>& events = song.tracks[t].events;
    const int32_t cursor = state_.cursor[t];
    // An event behind the step holds its track until the loop point: it never plays before.
    if (cursor < static_cast<int32_t>(events.size()) && events[cursor].position >= state_.play_step)
      next_busy = std::min<int64_t>(next_busy, events[cursor].position);
  }
  return std::clamp<int64_t>(next_busy - state_.play_step, 0, limit);
}

bool StepSequencer::Tick(const ParsedSong& song, const std::atomic<int32_t>& master_volume,
                         MelodyVoiceSet& melody, DrumSlotSet& drums) {
  // The master volume is read once per track: a fade on another thread reaches the next track.
  for (int i = 0; i < kMelodyTracks; ++i)
    PlayMelodyTrack(i, song.tracks[i], master_volume.load(std::memory_order_relaxed), melody);
  for (int j = 0; j < kDrumSlots; ++j)
    PlayDrumTrack(j, song.tracks[kMelodyTracks + j], master_volume.load(std::memory_order_relaxed),
                  drums);
  // In 64 bits: a step at INT32_MAX (a loop start there) goes back instead of wrapping.
  if (int64_t{state_.play_step} + 1 < song.loop_end) {
    ++state_.play_step;
    return false;
  }
  Seek(song, song.loop_start);
  return true;
}

}  // namespace org
