#include "game_music/engine_reset.h"

#include "game_music/drum_voice.h"
#include "game_music/game_engine.h"
#include "game_music/melody_voice.h"
#include "game_music/org_song.h"
#include "game_music/sequencer.h"

namespace org {

void ResetEngine() {
  ResetSequencer();
  ResetMelodyVoices();
  ResetDrumVoices();
  FreeSongNotes();
  SetEngineSoundDevice(nullptr);
}

}  // namespace org
