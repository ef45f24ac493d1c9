// Files named by UTF-8 paths, opened in the platform's own form: on POSIX the bytes as they are,
// on Windows through the wide (UTF-16) functions, so that a name with characters outside the
// ANSI code page (CP932 on a Japanese system) still opens. Every open of a path our text holds
// goes through here or through a std::filesystem::path made by NativePath. Any thread.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// The path `utf8` names, as std::filesystem holds it on this platform.
std::filesystem::path NativePath(std::string_view utf8);

// A std::filesystem path as UTF-8 text.
std::string Utf8PathOf(const std::filesystem::path& path);

// fopen of a UTF-8 path ("rb", "wb", "ab", ...); null with errno when it cannot be opened.
std::FILE* OpenNativeFile(const std::string& utf8_path, const char* mode);

// Makes `utf8_path` the process's current directory; false with errno when it cannot.
bool ChangeDirectory(const std::string& utf8_path);

}  // namespace platform
