#include "runtime/platform/data_path.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "runtime/platform/file_reader.h"
#include "runtime/platform/native_file.h"
#include "runtime/platform/text_encoding.h"

namespace platform {
namespace {

// Replaces separators, stepping over the second byte of two-byte CP932 characters.
std::string MapSeparators(std::string_view cp932) {
  std::string mapped(cp932);
  for (size_t i = 0; i < mapped.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(mapped[i]);
    if (IsCp932LeadByte(byte)) {
      ++i;
    } else if (byte == '\\') {
      mapped[i] = '/';
    }
  }
  return mapped;
}

namespace fs = std::filesystem;

bool PathExists(const std::string& path) {
  std::error_code error;
  return fs::exists(NativePath(path), error);
}

// Finds the entry of `directory` whose name equals `name` without regard to ASCII case.
bool FindEntryIgnoringCase(const std::string& directory, const std::string& name,
                           std::string* found) {
  std::error_code error;
  for (fs::directory_iterator it(NativePath(directory.empty() ? "." : directory), error), end;
       !error && it != end; it.increment(error)) {
    const std::string entry = Utf8PathOf(it->path().filename());
    if (strcasecmp(entry.c_str(), name.c_str()) == 0) {
      *found = entry;
      return true;
    }
  }
  return false;
}

std::vector<std::string> SplitComponents(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

// Walks the path one component at a time, taking the entry that matches without regard to case
// where the exact one is missing. Components after the first unmatched one are kept as written.
std::string ResolveIgnoringCase(const std::string& path) {
  const bool absolute = !path.empty() && path[0] == '/';
  std::string resolved = absolute ? "/" : "";
  bool lost = false;
  for (const std::string& part : SplitComponents(path)) {
    std::string next = part;
    if (!lost && part != "." && part != "..") {
      std::string candidate = resolved + part;
      std::string found;
      if (!PathExists(candidate)) {
        if (FindEntryIgnoringCase(resolved, part, &found)) {
          next = found;
        } else {
          lost = true;
        }
      }
    }
    resolved += next;
    resolved += '/';
  }
  if (!resolved.empty() && (path.empty() || path.back() != '/')) resolved.pop_back();
  return resolved;
}

}  // namespace

std::string ResolveDataPath(std::string_view data_path) {
  std::string mapped = MapSeparators(data_path);
  bool converted = false;
  std::string native = Cp932ToUtf8(mapped, &converted);
  if (!converted) native = mapped;  // not CP932 at all: try the bytes as they are
  if (native.empty() || PathExists(native)) return native;
  return ResolveIgnoringCase(native);
}

std::string CurrentDirectory() {
  std::error_code error;
  const fs::path current = fs::current_path(error);
  return error ? std::string() : Utf8PathOf(current);
}

std::string NativePathToDataPath(std::string_view native) {
  std::string path = Utf8ToCp932(native);
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsCp932LeadByte(static_cast<unsigned char>(path[i]))) {
      ++i;
    } else if (path[i] == '/') {
      path[i] = '\\';
    }
  }
  return path;
}

FileHandle OpenDataFile(std::string_view data_path, const char* mode) {
  return FileHandle(OpenNativeFile(ResolveDataPath(data_path), mode));
}

bool DataFileExists(std::string_view data_path) {
  std::error_code error;
  return fs::is_regular_file(NativePath(ResolveDataPath(data_path)), error);
}

long long DataFileSize(std::string_view data_path) {
  const fs::path path = NativePath(ResolveDataPath(data_path));
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return -1;
  const uintmax_t size = fs::file_size(path, error);
  return error ? -1 : static_cast<long long>(size);
}

bool ReadDataFile(std::string_view data_path, size_t max_bytes, std::vector<uint8_t>* bytes) {
  FileContents contents = ReadFileUpTo(ResolveDataPath(data_path), max_bytes);
  *bytes = std::move(contents.bytes);
  return contents.ok();
}

}  // namespace platform
