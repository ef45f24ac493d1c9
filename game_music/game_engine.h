// The one engine of the game's single-instance face: the free functions of game_music/ (GetOrgSong,
// LoadOrgSong, SongTick, StartNote, PlayDrum, the timer functions, ...) are a thin layer over it;
// that face alone keeps what the game's engine kept beside the song: the message boxes, the error
// file ORG_ERROR.TXT and the data-folder paths. The jukebox's music player does not use it (it
// has an engine of its own); the tests and the fuzz targets drive it. Never destroyed, so that
// objects torn down at exit may still reach it. Main thread, and the timer's thread for its ticks.
#pragma once

#include "org/engine.h"
#include "runtime/platform/sound_interface.h"

namespace org {

Engine& GameEngine();

// The sound device the face's engine makes all its sound on (null: every voice operation does
// nothing). Only while no voice exists.
void SetEngineSoundDevice(platform::SoundDevice* device);

}  // namespace org
