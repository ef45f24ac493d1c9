#include "app/desktop/data_folder.h"

#include <unistd.h>

#include <filesystem>

#include "runtime/platform/data_path.h"

namespace app {
namespace {

namespace fs = std::filesystem;

std::string ExecutableFolder() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.parent_path().string();
}

}  // namespace

bool HoldsJukeboxData(const std::string& folder) {
  if (folder.empty()) return false;
  const std::string bank =
      platform::ResolveDataPath(platform::NativePathToDataPath(folder) + "\\Org\\Wave100.dat");
  std::error_code error;
  return fs::is_regular_file(bank, error);
}

bool IsGameFolder(const std::string& folder) {
  if (folder.empty()) return false;
  const std::string org =
      platform::ResolveDataPath(platform::NativePathToDataPath(folder) + "\\Org");
  std::error_code error;
  return fs::is_directory(org, error);
}

std::string FindDataFolder() {
  const std::string here = platform::CurrentDirectory();
  if (HoldsJukeboxData(here) || IsGameFolder(here)) return here;
  const std::string executable = ExecutableFolder();
  if (!executable.empty()) {
    const std::string installed =
        (fs::path(executable) / ".." / "share" / "orvalinde-jukebox").lexically_normal().string();
    if (HoldsJukeboxData(installed)) return installed;
  }
  if (HoldsJukeboxData(JUKEBOX_SOURCE_DATA_DIR)) return JUKEBOX_SOURCE_DATA_DIR;
  return {};
}

}  // namespace app
