// What a seek keeps of the replays it has made, so that the next seek need not replay the song
// from its start (see step_replay.h): the state of the song and of every voice at moments a
// bounded number of ticks apart, from the start up to where the song's state is found to repeat
// (and with it, where it repeats). A seek then starts from the last such moment at or before its
// target (moved by whole repeats once they are known) and replays only the ticks after it; or,
// for a song whose voices never come round, from the end of a logged stretch of passes, moved
// on by its repeats (LoopStretch).
// Owned by the Engine whose replays they are; dropped when what its ticks do changes.
#pragma once

#include <cstdint>
#include <vector>

#include "org/engine.h"
#include "org/song_loop.h"
#include "org/step_replay.h"
#include "runtime/platform/sound_interface.h"
#include "runtime/platform/voice_orbit.h"

namespace org {

// Finds where the whole state of a song (its sequencer, every voice's phase, the place of the
// ticks within a frame) at the loop start is what it was some passes before: from there on it
// repeats exactly, so whole repeats can be stepped over at once.
// The place of a tick within a frame (tick × wait × rate mod 1000) comes back to the same value
// only every `phase_passes` passes (5 for 1 ms steps at 44.1 kHz and a pass of 4096 steps), so
// only those loop starts can match. A state is kept at the second loop start (the first often
// still holds the intro's voices) and compared a phase period later; then Brent's cycle search
// in whole phase periods (spans 1, 1, 2, 4, ... periods): a song whose sound repeats from its
// second pass on is known after 1 + phase_passes passes.
class RepeatFinder {
 public:
  RepeatFinder(const ParsedSong& song, int rate);

  // The tick that first plays the loop start.
  int64_t first_loop_start() const { return loop_.intro_steps + 1; }
  // The ticks before the next loop start from tick `tick` (0 at one).
  int64_t TicksToLoopStart(int64_t tick) const {
    const int64_t first = first_loop_start();
    if (tick <= first) return first - tick;
    const int64_t into = (tick - first) % loop_.loop_steps;
    return into == 0 ? 0 : loop_.loop_steps - into;
  }
  // True when tick `tick` plays the loop start.
  bool AtLoopStart(int64_t tick) const { return TicksToLoopStart(tick) == 0; }

  // Passes after which a tick's place within a frame recurs (a tick then falls a whole number
  // of frames later).
  int64_t phase_passes() const { return phase_passes_; }
  int64_t loop_steps() const { return loop_.loop_steps; }
  // Loop starts compared so far (none matched while the repeat is not known).
  int comparisons() const { return comparisons_; }

  // At a loop start (before its tick plays): true, with the repeat's ticks, frames and passes,
  // when the state is the one kept.
  template <typename Voices>
  bool Repeats(Engine& engine, Voices& voices, const ReplayPosition& at, int64_t* ticks,
               int64_t* frames, int64_t* passes);

 private:
  // Loop starts compared before the search gives up (each costs a comparison of every voice):
  // a song whose sound never repeats is replayed step by step, as before.
  static constexpr int kMostComparisons = 1 << 12;

  SongLoop loop_;
  int64_t phase_passes_ = 1;  // passes after which a tick's place within a frame recurs
  bool has_kept_ = false;
  ReplayPosition kept_;
  int64_t passes_ = 0;  // passes since the state was kept
  int64_t span_ = 1;    // loop starts to go before keeping a new state
  int spans_ = 0;       // spans gone through
  int comparisons_ = 0;
};

// One moment of a replay at its song's own tempo from the start: where it stood (a tick's frame,
// before that tick plays) and everything the ticks had made of the song and the voices.
struct ReplayCheckpoint {
  ReplayPosition at;
  Engine::SavedState engine;
  platform::VoiceCheckpoint voices;
};

// Whole passes of the loop, from a loop start on, after which the engine stands where it stood
// at their start: every pass after them makes the same calls at the same ticks (a frame earlier
// or later where a tick lasts no whole number of frames). Their calls, logged voice by voice
// with their ticks, move every voice over any number of such stretches at once (see
// voice_orbit.h), so a seek lands that far on even when the voices' phases never come round to
// where they were (the whole state never repeats).
struct LoopStretch {
  bool known = false;
  bool given_up = false;  // a stretch is not looked for (again)
  ReplayPosition end;     // where the logged stretch ended, and the state there
  Engine::SavedState engine;
  platform::VoiceCheckpoint voices;
  platform::VoiceCallLog log;
  int64_t ticks = 0;
  int64_t frames = 0;
  int64_t passes = 0;
};

// A loop start from which a pass replayed from a stand-in state forgot it (step_replay.cpp):
// where it was and the state there, and after how many passes the engine's state comes round.
struct ForgettingAnchor {
  bool known = false;
  ReplayPosition at;
  Engine::SavedState engine;
  platform::VoiceCheckpoint voices;
  int64_t period = 1;
};

struct ReplayCheckpoints {
  // At most this many moments are kept (each holds every voice in use: about 7 kB for a song's
  // 136 voices); when full, every other one goes and the spacing doubles.
  static constexpr size_t kMostCheckpoints = 48;
  // Ticks between kept moments at first.
  static constexpr int64_t kFirstSpacing = 256;

  // What the moments hold for: the output rate, the master volume and the transposition they
  // were replayed at (any other changes the engine itself drops them for).
  int rate = 0;
  int32_t master_volume = 0;
  double melody_ratio = 1.0;
  double drum_ratio = 1.0;

  std::vector<ReplayCheckpoint> points;  // by tick, ascending
  int64_t spacing = kFirstSpacing;
  int64_t explored_tick = 0;  // the furthest tick a replay has stood at (before it played)
  RepeatFinder finder;

  // Once found: from tick repeat_tick (frame repeat_frame) on, the state after `repeat_ticks`
  // more ticks (`repeat_frames` more frames) is the same, `repeat_passes` loop passes later.
  bool repeat_known = false;
  int64_t repeat_tick = 0;
  int64_t repeat_frame = 0;
  int64_t repeat_ticks = 0;
  int64_t repeat_frames = 0;
  int64_t repeat_passes = 0;

  LoopStretch stretch;
  // A pass from a stand-in state did not forget it (step_replay.cpp): not tried again.
  bool forgetting_failed = false;
  // A seek that held its ticks (settling_replay.h) could not land: not tried again. And how
  // many such seeks landed.
  bool settling_failed = false;
  int64_t settled_seeks = 0;
  ForgettingAnchor forgetting_anchor;

  ReplayCheckpoints(const ParsedSong& song, int output_rate) : finder(song, output_rate) {}
};

}  // namespace org
