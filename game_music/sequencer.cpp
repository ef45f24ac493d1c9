#include "game_music/sequencer.h"

#include "game_music/game_engine.h"

namespace org {
namespace {

// The face's timer on the face's engine; never destroyed, as the engine is not.
SongTimer& Timer() {
  static SongTimer* const timer = new SongTimer(&GameEngine());
  return *timer;
}

}  // namespace

void SongTick() { GameEngine().Tick(); }

void StartSongTimer(uint32_t wait) { Timer().Start(wait); }

void StartSongTimerAfter(uint32_t first_ms, uint32_t wait) { Timer().StartAfter(first_ms, wait); }

bool StopSongTimer() { return Timer().Stop(); }

void SetMasterVolume(int32_t volume) { GameEngine().SetMasterVolume(volume); }

int32_t MasterVolume() { return GameEngine().master_volume(); }

JukeboxSequencerState GetSequencerState() {
  JukeboxSequencerState state;
  static_cast<SequencerState&>(state) = GameEngine().sequencer_state();
  state.timer_id = Timer().id();
  state.timer_period = Timer().period();
  return state;
}

uint32_t SongTimerId() { return Timer().id(); }

int32_t PublishedPlayStep() { return GameEngine().published_step(); }

int32_t PublishedLoopCount() { return GameEngine().loop_count(); }

uint32_t LastResolutionRequest() { return Timer().last_resolution_request(); }

void SetTickSource(TickSource* source) { Timer().SetTickSource(source); }

void ResetSequencer() {
  Timer().Reset();
  GameEngine().ResetSequencer();
}

}  // namespace org
