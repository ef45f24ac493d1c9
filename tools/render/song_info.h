// A song's facts for people and scripts: header, each track's waveform or drum, event counts,
// loop points and the intro and loop durations.
#pragma once

#include <string>

#include "org/org_song.h"

namespace render {

std::string SongInfoText(const org::ParsedSong& song);
std::string SongInfoJson(const org::ParsedSong& song);

}  // namespace render
