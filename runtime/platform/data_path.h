// Opening the files named in data. Data paths are written the Windows way: in the system's text
// encoding (CP932), with backslashes, by people whose file system ignores letter case. This
// helper maps them onto this platform's file system; every reader of data files opens through it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Maps a data path to a path this platform can open: backslash separators become '/' (but not
// the second byte of a two-byte CP932 character), the text becomes UTF-8, and where that exact
// path does not exist each component is looked up without regard to ASCII letter case. When no
// match exists the mapped path is returned as it is (so that a file can be created there).
std::string ResolveDataPath(std::string_view data_path);

// A path given on this platform (UTF-8, '/' separators), written as a data path: system text with
// backslash separators. Tools take their file names through it before handing them to the engine.
std::string NativePathToDataPath(std::string_view native);

// The process's current directory ("" when it cannot be read).
std::string CurrentDirectory();

// Closes a FILE* when it goes out of scope.
struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file) std::fclose(file);
  }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens a data path with an fopen mode ("rb", "ab", ...); null when it cannot be opened.
FileHandle OpenDataFile(std::string_view data_path, const char* mode);

// True when the data path names an existing regular file.
bool DataFileExists(std::string_view data_path);

// The size in bytes of the regular file the data path names, or -1 when there is none.
long long DataFileSize(std::string_view data_path);

// Reads the file a data path names, up to its first `max_bytes` bytes. False (and `bytes` empty)
// when the file cannot be opened or read.
bool ReadDataFile(std::string_view data_path, size_t max_bytes, std::vector<uint8_t>* bytes);

}  // namespace platform
