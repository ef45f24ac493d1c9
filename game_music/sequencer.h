// The game's sequencer: the face's engine played one step per tick of the face's timer (a
// SongTimer: the song's wait as its period, the game's timer bookkeeping). The master volume
// scales every track's volume. The jukebox does not call these (its music player has an engine
// and a timer of its own); they are the game's face over one engine, and the tests drive it.
// Threads: the timer's ticks play the engine on the timer's thread (SongTick is the same step
// for whoever steps the song by hand); everything else on the main thread, and only while the
// timer is stopped, except the master volume, which is an atomic.
#pragma once

#include <atomic>
#include <cstdint>

#include "game_music/song_timer.h"
#include "org/org_format.h"
#include "org/step_sequencer.h"

namespace org {

// The sequencer's state with the timer's.
struct JukeboxSequencerState : SequencerState {
  uint32_t timer_id = 0;
  uint32_t timer_period = 13;  // ms; the resolution request is taken from it
};

// Plays one step of the face's engine, as a tick of its timer does.
void SongTick();

// The face's SongTimer: Start, StartAfter and Stop, as documented there.
void StartSongTimer(uint32_t wait);
void StartSongTimerAfter(uint32_t first_ms, uint32_t wait);
bool StopSongTimer();

// The face's engine's master volume (see Engine::SetMasterVolume).
void SetMasterVolume(int32_t volume);
int32_t MasterVolume();

// A copy of the state, for tests and tools (main thread, timer stopped, or from within a tick).
JukeboxSequencerState GetSequencerState();
// The running timer's id (0 before the first start). Only the thread that starts and stops the
// timer writes it, so that thread may read it while the timer ticks.
uint32_t SongTimerId();

// The step the next tick plays and the number of loop-backs so far, safe to read from any
// thread while the timer runs (for displays).
int32_t PublishedPlayStep();
int32_t PublishedLoopCount();

// The last timer resolution request (see SongTimer).
uint32_t LastResolutionRequest();

// Replaces the tick source (null restores the thread source). Only while no timer runs.
void SetTickSource(TickSource* source);

// Back to the start state (tests): timer stopped, cursors and counters cleared, volume 127.
void ResetSequencer();

}  // namespace org
