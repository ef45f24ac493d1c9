#include "org/engine_reset.h"

#include "org/drum_voice.h"
#include "org/engine_device.h"
#include "org/melody_voice.h"
#include "org/org_song.h"
#include "org/sequencer.h"

namespace org {

void ResetEngine() {
  ResetSequencer();
  ResetMelodyVoices();
  ResetDrumVoices();
  FreeSongNotes();
  SetEngineSoundDevice(nullptr);
}

}  // namespace org
