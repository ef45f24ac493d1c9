#include "runtime/platform/shipped_data.h"

#include <filesystem>

#include "runtime/platform/data_path.h"

namespace platform {
namespace {
namespace fs = std::filesystem;
constexpr const char* kInstalledData = "../share/orvalinde-jukebox";
}  // namespace

std::string ExecutableFolder() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.parent_path().string();
}

bool HoldsJukeboxData(const std::string& folder) {
  if (folder.empty()) return false;
  const std::string bank = ResolveDataPath(NativePathToDataPath(folder) + "\\Org\\Wave100.dat");
  std::error_code error;
  return fs::is_regular_file(bank, error);
}

std::string ShippedDataFolder() {
  const std::string executable = ExecutableFolder();
  if (!executable.empty()) {
    const std::string installed = (fs::path(executable) / kInstalledData).lexically_normal();
    if (HoldsJukeboxData(installed)) return installed;
  }
  if (HoldsJukeboxData(JUKEBOX_SOURCE_DATA_DIR)) return JUKEBOX_SOURCE_DATA_DIR;
  return {};
}

}  // namespace platform
