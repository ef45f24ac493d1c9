#include "org/engine_device.h"

#include "org/jukebox_engine.h"

namespace org {

void SetEngineSoundDevice(platform::SoundDevice* device) { JukeboxEngine().SetDevice(device); }

platform::SoundDevice* EngineSoundDevice() { return JukeboxEngine().device(); }

}  // namespace org
