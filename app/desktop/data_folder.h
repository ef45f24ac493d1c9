// Where the jukebox's data (waveform bank, drums, font, background, demo songs) is: the current
// folder when it is a game folder (it holds the game's data: Org/Wave100.dat, in any letter
// case; a folder that merely has an Org folder of songs is not one), else the data installed
// beside the executable (../share/orvalinde-jukebox, so a moved prefix still works), else the
// source tree's data/ folder (a build that was not installed). `--data DIR` names the folder
// outright, damaged or not. Main thread, at start-up.
#pragma once

#include <string>

namespace app {

// The folder ("" when none holds the data).
std::string FindDataFolder();

}  // namespace app
