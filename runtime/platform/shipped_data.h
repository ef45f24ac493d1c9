// Where the data shipped with the programs is: installed beside the executables
// (<prefix>/share/orvalinde-jukebox, found from the running program itself, so a moved prefix
// still works), else the source tree's data folder of a build that was not installed. The
// jukebox and the command-line tools ask it for the waveform bank, drums and pictures they fall
// back on. Any thread.
#pragma once

#include <string>

namespace platform {

// The folder holding the running executable ("" when it cannot be read).
std::string ExecutableFolder();

// The shipped data folder ("" when neither holds Org/Wave100.dat).
std::string ShippedDataFolder();

// True when `folder` holds the waveform bank (names matched without regard to letter case).
bool HoldsJukeboxData(const std::string& folder);

}  // namespace platform
