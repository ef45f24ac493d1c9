// The waveform bank org2wav and orgplay use when none is named: Org/Wave100.dat in the current
// folder when there is one (a game folder), else the bank shipped with the programs (installed
// beside them, or this source tree's).
#pragma once

#include <filesystem>
#include <string>

#include "runtime/platform/shipped_data.h"

namespace tools {

inline std::string DefaultWaveBankPath() {
  if (std::filesystem::exists("Org/Wave100.dat")) return "Org/Wave100.dat";
  return platform::ShippedDataFolder() + "/Org/Wave100.dat";
}

}  // namespace tools
