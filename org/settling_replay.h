// A seek's short way far into a song (step_replay.cpp tries it before replaying every step): the
// engine plays its steps up to a little before the target with no call reaching its voices (the
// voice sets keep each buffer's last tuning, pan, volume and play instead), stepping over whole
// rounds of passes once its own state at one of the places kept in each pass comes round (every
// round after that plays the same steps). Then the buffers the held steps played are stopped
// (or, surely played out by now, put back at their start), every buffer is given the settings
// held for it, and the last steps before the target are replayed with the voices, their calls
// logged. Where those last steps settle every voice the held steps played (each played out,
// stopped or put somewhere), and the others were stopped and left alone all along, the voices
// stand exactly where a replay of every step has them and the seek is done. Where not,
// everything goes back to where it stood, and the caller replays as before.
// On the thread that drives the engine, with no tick running elsewhere.
#pragma once

#include <cstdint>
#include <vector>

#include "org/engine.h"
#include "org/replay_checkpoints.h"
#include "org/step_replay.h"
#include "org/tick_clock.h"
#include "runtime/platform/sound_interface.h"
#include "runtime/platform/voice_orbit.h"

namespace org {

// `Voices`: MixerVoices or DeviceVoices (replay_voices.h).
template <typename Voices>
class SettlingReplay {
 public:
  // The ticks replayed with their voices at the end: in the densest song every voice is played
  // out within the last 128 before any target, at every rate.
  static constexpr int64_t kSettlingTicks = 256;

  enum class Start {
    kNotTried,  // the target is near: replaying the ticks up to it costs little
    kHeld,      // `at` stands at the first tick to be replayed with the voices
    kFailed,    // the engine's state did not come round: not worth trying again for this song
  };

  // `loop`: where the song's loop starts fall, in ticks.
  SettlingReplay(Engine& engine, Voices& voices, const RepeatFinder& loop, const TickClock& clock)
      : engine_(engine), voices_(voices), loop_(loop), clock_(clock) {}

  // From `at` (where the voices stand as a replay from the start has them), plays the ticks up
  // to kSettlingTicks before the last one that falls before frame `last`, held; then leaves
  // `at` at the first of those kSettlingTicks, the voices given their held settings and their
  // calls logged from there, for the caller to replay up to its target (with no moment kept).
  Start HoldTo(int64_t last, ReplayPosition* at);
  // After that replay: true when it settled every voice it had to (they then stand exactly where
  // a replay of every step has them); else everything goes back to where HoldTo found it, `at`
  // included, and false.
  bool Landed(ReplayPosition* at);

 private:
  // Passes of the loop played held while the engine's state is looked for (after the intro):
  // a state that comes round at all mostly does within a pass or two (each note swaps a track's
  // pair of buffers).
  static constexpr int64_t kMostSearchedPasses = 6;
  // Moments kept in each pass of the loop, at most (at least kSettlingTicks apart).
  static constexpr int64_t kMomentsPerPass = 16;

  // What the held ticks had made at a tick: kept at the same places of each pass, so that the
  // engine's state is found to come round a pass or two later at any of them (not only at the
  // loop start, where notes of the pass before may still sound), and landed on after whole
  // rounds.
  struct Moment {
    int64_t tick = 0;
    Engine::SavedState engine;
    MelodyVoiceSet::HeldControls melody;
    DrumSlotSet::HeldControls drums;
    uint32_t melody_order = 0;
    uint32_t drum_order = 0;
  };

  bool HeldTicksTo(int64_t window_tick, ReplayPosition* at);
  // The ticks from `tick` to the next place a moment is kept (0: here).
  int64_t TicksToMoment(int64_t tick) const;
  // At a moment: keeps it, and when the engine stands where it stood at the same place of a
  // pass or two before, moves the ticks on over whole rounds to the last place before
  // `window_tick` they can land at (into `tick`). True when moved.
  bool KeepOrJump(int64_t window_tick, int64_t* tick);
  void GoBack(ReplayPosition* at);

  Engine& engine_;
  Voices& voices_;
  const RepeatFinder& loop_;
  const TickClock& clock_;
  int64_t moment_spacing_ = kSettlingTicks;
  ReplayPosition start_;
  Engine::SavedState start_engine_;
  platform::VoiceCheckpoint start_voices_;
  std::vector<Moment> moments_;  // of the last passes, by tick
  platform::VoiceCallLog held_calls_;
  platform::VoiceCallLog window_calls_;
};

}  // namespace org
