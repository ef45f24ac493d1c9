#include "runtime/platform/native_file.h"

#include <unistd.h>

namespace platform {

std::filesystem::path NativePath(std::string_view utf8) { return std::filesystem::path(utf8); }

std::string Utf8PathOf(const std::filesystem::path& path) { return path.string(); }

std::FILE* OpenNativeFile(const std::string& utf8_path, const char* mode) {
  return std::fopen(utf8_path.c_str(), mode);
}

bool ChangeDirectory(const std::string& utf8_path) { return chdir(utf8_path.c_str()) == 0; }

}  // namespace platform
