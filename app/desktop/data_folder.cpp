#include "app/desktop/data_folder.h"

#include <filesystem>

#include "runtime/platform/data_path.h"
#include "runtime/platform/shipped_data.h"

namespace app {
bool IsGameFolder(const std::string& folder) { return platform::HoldsJukeboxData(folder); }

std::string FindDataFolder() {
  const std::string here = platform::CurrentDirectory();
  if (IsGameFolder(here)) return here;
  return platform::ShippedDataFolder();
}

}  // namespace app
