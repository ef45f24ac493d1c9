// The waveform bank org2wav and orgplay use when none is named: Org/Wave100.dat in the current
// folder when there is one (a game folder), else the bank shipped in the project's data folder.
// JUKEBOX_DATA_DIR is set by each tool's build.
#pragma once

#include <filesystem>
#include <string>

namespace tools {

inline std::string DefaultWaveBankPath() {
  if (std::filesystem::exists("Org/Wave100.dat")) return "Org/Wave100.dat";
  return JUKEBOX_DATA_DIR "/Org/Wave100.dat";
}

}  // namespace tools
