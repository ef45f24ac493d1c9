#include "game_music/engine_device.h"

#include "game_music/game_engine.h"

namespace org {

void SetEngineSoundDevice(platform::SoundDevice* device) { JukeboxEngine().SetDevice(device); }

platform::SoundDevice* EngineSoundDevice() { return JukeboxEngine().device(); }

}  // namespace org
