#include "app/desktop/data_folder.h"

#include <filesystem>

#include "runtime/platform/data_path.h"
#include "runtime/platform/shipped_data.h"

namespace app {
namespace {

namespace fs = std::filesystem;

}  // namespace

bool IsGameFolder(const std::string& folder) {
  if (folder.empty()) return false;
  const std::string org =
      platform::ResolveDataPath(platform::NativePathToDataPath(folder) + "\\Org");
  std::error_code error;
  return fs::is_directory(org, error);
}

std::string FindDataFolder() {
  const std::string here = platform::CurrentDirectory();
  if (platform::HoldsJukeboxData(here) || IsGameFolder(here)) return here;
  return platform::ShippedDataFolder();
}

}  // namespace app
