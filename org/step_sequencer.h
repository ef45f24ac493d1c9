// The sequencer of one song: plays it one step per tick. Each step walks every track's event
// cursor, starts and ends melody notes, restarts drums, applies pan and volume (scaled by the
// master volume) and advances the step, looping from loop_end back to loop_start forever. The
// per-track counters (note steps left, track and drum volumes) outlive a song, as the voices'
// playing state does. Owned by an Engine; the tick runs on whichever thread drives the engine.
#pragma once

#include <atomic>
#include <cstdint>

#include "org/drum_slot_set.h"
#include "org/melody_voice_set.h"
#include "org/org_format.h"

namespace org {

struct SequencerState {
  int32_t play_step = 0;
  // Index of each track's next event not yet played; the track's event count when none is left.
  int32_t cursor[kTrackCount] = {};
  int32_t steps_left[kMelodyTracks] = {};
  int32_t track_volume[kMelodyTracks] = {};
  int32_t drum_volume[kDrumSlots] = {};
  friend bool operator==(const SequencerState&, const SequencerState&) = default;
};

// What the last steps did to each track, for players and displays.
struct TrackActivity {
  uint8_t drum_key[kDrumSlots];  // the last drum key played (255: none yet)
  uint8_t pan[kTrackCount];      // the last pan an event set (255: none yet)
  friend bool operator==(const TrackActivity&, const TrackActivity&) = default;
};

class StepSequencer {
 public:
  StepSequencer() { ClearActivity(); }

  // Points every cursor at its track's first event at or after `step`; play_step = step.
  void Seek(const ParsedSong& song, int32_t step);
  // Plays one step of `song` on the voices, scaled by `master_volume` (0..127). Returns true
  // when it looped back.
  bool Tick(const ParsedSong& song, const std::atomic<int32_t>& master_volume,
            MelodyVoiceSet& melody, DrumSlotSet& drums);

  // How many of the coming steps would change nothing: no event falls on them, every melody
  // note has ended (its end already played: the voice is silent), and the loop point is not
  // among them. A step that repeats the volumes the last step set changes nothing either (the
  // loop start's step, where a drum track's volume may be set again after a pass that set none
  // at its end, is not passed over). Call right after a Tick; at most `limit`.
  int64_t IdleStepsAhead(const ParsedSong& song, const MelodyVoiceSet& melody, int64_t limit) const;
  // Moves over `steps` idle steps (as counted above: never past the step before the loop end,
  // so the sum stays a step) without playing them.
  void SkipIdleSteps(int64_t steps) {
    state_.play_step = static_cast<int32_t>(int64_t{state_.play_step} + steps);
  }

  const SequencerState& state() const { return state_; }
  SequencerState& mutable_state() { return state_; }
  const TrackActivity& activity() const { return activity_; }
  void RestoreActivity(const TrackActivity& activity) { activity_ = activity; }
  void ClearActivity();

 private:
  void PlayMelodyTrack(int i, const ParsedSong::Track& track, int32_t master,
                       MelodyVoiceSet& melody);
  void PlayDrumTrack(int j, const ParsedSong::Track& track, int32_t master, DrumSlotSet& drums);

  SequencerState state_;
  TrackActivity activity_;
};

}  // namespace org
