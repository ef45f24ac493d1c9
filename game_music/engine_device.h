// The sound device the jukebox's engine makes all its sound on, handed over by the music
// player's initialisation. Null while no device is open: every voice operation then does nothing.
#pragma once

#include "org/melody_voice_set.h"
#include "runtime/platform/sound_interface.h"

namespace org {

void SetEngineSoundDevice(platform::SoundDevice* device);
platform::SoundDevice* EngineSoundDevice();

}  // namespace org
