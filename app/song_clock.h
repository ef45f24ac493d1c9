// The playing song's position and the length it will play, as the jukebox's overlays and its
// visualiser write them: "m:ss / m:ss", or "m:ss / ENDLESS" when it will not end by itself.
#pragma once

#include <string>

#include "app/jukebox_model.h"

namespace app {

std::string SongClockText(const JukeboxModel& model);

}  // namespace app
