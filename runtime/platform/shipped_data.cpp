#include "runtime/platform/shipped_data.h"

#include <strings.h>

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

namespace {

// The entry of `folder` named `name` without regard to ASCII case, or "" when there is none.
fs::path EntryIgnoringCase(const fs::path& folder, const std::string& name) {
  std::error_code error;
  if (fs::exists(folder / name, error)) return folder / name;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    if (strcasecmp(it->path().filename().c_str(), name.c_str()) == 0) return it->path();
  return {};
}

}  // namespace

bool HoldsJukeboxData(const std::string& folder) {
  // The folder's own name is the user's, whatever its characters: it is never converted.
  if (folder.empty()) return false;
  const fs::path org = EntryIgnoringCase(folder, "Org");
  const fs::path bank = org.empty() ? fs::path() : EntryIgnoringCase(org, "Wave100.dat");
  std::error_code error;
  return !bank.empty() && fs::is_regular_file(bank, error);
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
