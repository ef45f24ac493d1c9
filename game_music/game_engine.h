// The one engine the game's jukebox plays through. The free functions the jukebox, orgplay and
// the tests call (LoadOrgSong, SongTick, StartNote, PlayDrum, ...) are a thin face over it; that
// face alone keeps what the game's engine kept beside the song: the message boxes, the error
// file ORG_ERROR.TXT and the data-folder paths. Never destroyed, so that objects torn down at
// exit may still reach it. Main thread, and the timer's thread for its ticks.
#pragma once

#include "org/engine.h"

namespace org {

Engine& JukeboxEngine();

}  // namespace org
