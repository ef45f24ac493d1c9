// Reaching a frame of a song without mixing it: the engine's steps are played one by one at the
// frames their ticks fall on, while the mixer only moves its voices over the frames between them
// (each voice's position, loop and end worked out as mixing would), and steps that would change
// nothing are passed over at once. What is mixed afterwards is what a render from the start gives
// from that frame. The offline renderer's seek replays on its own mixer; a player's seek replays on
// the engine's own output, whichever device that is (SeekOutput).
// On the thread that drives the engine, with no tick running elsewhere.
#pragma once

#include <cstdint>

#include "org/engine.h"
#include "org/tick_clock.h"
#include "runtime/platform/sound_mixer.h"

namespace org {

// The frame on which tick `tick` (1, 2, ...) falls for steps of `wait` ms at `rate` frames per
// second: round(tick × wait × rate / 1000), computed as every render always computed it.
int64_t FrameOfTick(uint16_t wait, int rate, int64_t tick);

// Where a replay stands: frames played since the start, and the tick to come.
struct ReplayPosition {
  int64_t frame = 0;
  int64_t next_tick = 1;
};

// Moves `at` forward to `target` (never back): the ticks falling on frames before the target
// play, as long as they fall before `end` (the end of the song's body: no tick at or after it).
// A tick on the target itself is left to whoever plays on from there, as a render plays it.
void ReplayTo(Engine& engine, platform::SoundMixer& mixer, int rate, int64_t target, int64_t end,
              ReplayPosition* at);
// The same, the ticks falling where `clock` places them (a tempo factor). At the song's own tempo
// from the start, moments of the replay are kept (a bounded number, ticks apart) and used: the
// replay starts from the last one at or before the target, and once the song's state is found
// to repeat, from the one whole repeats before it; where it never repeats but its steps do, the
// voices are moved over whole stretches of passes at once (see replay_checkpoints.h). Before all
// that, a far target is tried the short way: the steps held up to a little before it, the last
// ones replayed with the voices (settling_replay.h). `keep`: in the engine, for the seeks to come
// (only when `at` is where a replay from the start would stand); else for this replay alone.
void ReplayTo(Engine& engine, platform::SoundMixer& mixer, const TickClock& clock, int64_t target,
              int64_t end, ReplayPosition* at, bool keep = false);

// Where a seek of the engine's output landed: the output's rate (frames per second) and the
// replay's position.
struct OutputSeek {
  int rate = 0;
  ReplayPosition at;
};

// Moves the engine and the voices of its device to `ms` milliseconds from the song's start,
// exactly: the device holds its output and puts its voices back at their start, the engine goes
// back to the moment its song was loaded, and every tick up to there is replayed (see ReplayTo;
// the moments are kept in the engine for the next seek).
// Then the output goes on (`resume`) or stays silent. The engine's ticks must be stopped. False,
// with nothing changed, when the device cannot move its voices (one that does not mix them).
bool SeekOutput(Engine& engine, uint32_t ms, bool resume, OutputSeek* seek);

}  // namespace org
