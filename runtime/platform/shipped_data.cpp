#include "runtime/platform/shipped_data.h"

#include <strings.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>

#include "runtime/platform/data_path.h"
#include "runtime/platform/native_file.h"

namespace platform {
namespace {
namespace fs = std::filesystem;
#ifdef _WIN32
// Unpacked from the zip: the data folder is the program's own.
constexpr const char* kInstalledData = ".";
#else
constexpr const char* kInstalledData = "../share/orvalinde-jukebox";
#endif

fs::path ExecutablePath(std::error_code* error) {
#ifdef _WIN32
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      *error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
      return {};
    }
    if (length < path.size()) return fs::path(path.substr(0, length));
    path.resize(path.size() * 2);
  }
#else
  return fs::read_symlink("/proc/self/exe", *error);
#endif
}

}  // namespace

std::string ExecutableFolder() {
  std::error_code error;
  const fs::path self = ExecutablePath(&error);
  return error ? std::string() : Utf8PathOf(self.parent_path());
}

namespace {

// The entry of `folder` named `name` without regard to ASCII case, or "" when there is none.
fs::path EntryIgnoringCase(const fs::path& folder, const std::string& name) {
  std::error_code error;
  const fs::path exact = folder / NativePath(name);
  if (fs::exists(exact, error)) return exact;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    if (strcasecmp(Utf8PathOf(it->path().filename()).c_str(), name.c_str()) == 0) return it->path();
  return {};
}

}  // namespace

bool HoldsJukeboxData(const std::string& folder) {
  // The folder's own name is the user's, whatever its characters: it is never converted.
  if (folder.empty()) return false;
  const fs::path org = EntryIgnoringCase(NativePath(folder), "Org");
  const fs::path bank = org.empty() ? fs::path() : EntryIgnoringCase(org, "Wave100.dat");
  std::error_code error;
  return !bank.empty() && fs::is_regular_file(bank, error);
}

std::string ShippedDataFolder() {
  const std::string executable = ExecutableFolder();
  if (!executable.empty()) {
    const std::string installed =
        Utf8PathOf((NativePath(executable) / kInstalledData).lexically_normal());
    if (HoldsJukeboxData(installed)) return installed;
  }
  if (HoldsJukeboxData(JUKEBOX_SOURCE_DATA_DIR)) return JUKEBOX_SOURCE_DATA_DIR;
  return {};
}

}  // namespace platform
