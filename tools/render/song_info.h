// A song's facts for people and scripts: header, each track's waveform or drum, event counts,
// loop points and the intro and loop durations.
#pragma once

#include <string>

#include "org/org_format.h"

namespace render {

// The events of a track stored at or before the step of the event ahead of them: the game's
// sequencer waits at the first of them until the loop comes round, so they (and what follows
// them on that track) do not play on that pass.
int OutOfOrderEvents(const org::ParsedSong::Track& track);
// One line naming the tracks that hold such events and what that does; "" when none does.
std::string OutOfOrderNote(const org::ParsedSong& song);

// `after_times`: lines to put after the intro and loop times (a render's length).
std::string SongInfoText(const org::ParsedSong& song, const std::string& after_times = {});
std::string SongInfoJson(const org::ParsedSong& song);

}  // namespace render
