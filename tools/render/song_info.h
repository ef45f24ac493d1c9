// A song's facts for people and scripts: header, each track's waveform or drum, event counts,
// loop points and the intro and loop durations.
#pragma once

#include <string>

#include "org/org_format.h"

namespace render {

// `after_times`: lines to put after the intro and loop times (a render's length).
std::string SongInfoText(const org::ParsedSong& song, const std::string& after_times = {});
std::string SongInfoJson(const org::ParsedSong& song);

}  // namespace render
