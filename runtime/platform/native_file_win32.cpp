#include <direct.h>
#include <windows.h>

#include "runtime/platform/native_file.h"
#include "runtime/platform/wide_text.h"

namespace platform {

std::filesystem::path NativePath(std::string_view utf8) {
  return std::filesystem::path(WideFromUtf8(utf8));
}

std::string Utf8PathOf(const std::filesystem::path& path) { return Utf8FromWide(path.native()); }

std::FILE* OpenNativeFile(const std::string& utf8_path, const char* mode) {
  return _wfopen(WideFromUtf8(utf8_path).c_str(), WideFromUtf8(mode).c_str());
}

bool ChangeDirectory(const std::string& utf8_path) {
  return _wchdir(WideFromUtf8(utf8_path).c_str()) == 0;
}

}  // namespace platform
