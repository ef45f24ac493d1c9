// How playback goes round a song's loop, as the jukebox's sequencer plays it, for every path that
// needs to know ahead (the offline renders and their lengths, the library's facts, the tools):
// steps 0, 1, ... play until the step before loop_end (at least step 0), then playback goes back
// to loop_start. A loop whose end is at or before its start ("zero steps", or backwards) plays
// its loop_start step again on every tick after that: one step repeated. A loop start below 0 or
// past the end is first reached by that jump, so the steps before the jump are all intro.
// Pure functions of the song's header; every figure is 64-bit and saturates instead of wrapping.
#pragma once

#include <cstdint>

#include "org/org_format.h"

namespace org {

struct SongLoop {
  int64_t first_loopback = 1;  // the steps played before playback first goes back (>= 1)
  int64_t intro_steps = 0;     // the steps played before loop_start first sounds
  int64_t loop_steps = 1;      // the steps of one pass of the loop (>= 1)
  // True when loop_start is reached by stepping (0 <= loop_start < loop_end): the first jump is
  // then a return to it; otherwise the first jump is where the loop is entered.
  bool start_reached_by_stepping = true;

  // The steps played by the end of `passes` passes of the loop (the intro included; 0 or fewer
  // passes count as one), saturated at INT64_MAX.
  int64_t StepsForPasses(int64_t passes) const;
};

SongLoop LoopOf(const ParsedSong& song);

// A song's intro and lead. The intro is the steps played before the loop's start first sounds
// (LoopOf's intro_steps). A render, and the jukebox's timer, plays step s on tick s + 1: one step
// of silence, the lead, comes first, so the loop first sounds after the lead and the intro.
inline constexpr int32_t kLeadSteps = 1;
inline int64_t IntroSteps(const ParsedSong& song) { return LoopOf(song).intro_steps; }

// a + b and a * b for figures >= 0, saturated at INT64_MAX.
int64_t SaturatingAdd(int64_t a, int64_t b);
int64_t SaturatingMultiply(int64_t a, int64_t b);

}  // namespace org
