// Where the jukebox's data (waveform bank, drums, font, background, demo songs) is: the current
// folder when it is a game folder (it holds Org/Wave100.dat, or at least an Org folder: a damaged
// game folder is still the user's, and the jukebox says what it lacks), else the data installed
// beside the executable (../share/orvalinde-jukebox, so a moved prefix still works), else the
// source tree's data/ folder (a build that was not installed). Main thread, at start-up.
#pragma once

#include <string>

namespace app {

// The folder ("" when none holds the data).
std::string FindDataFolder();

// True when `folder` has an Org folder (any letter case).
bool IsGameFolder(const std::string& folder);

}  // namespace app
