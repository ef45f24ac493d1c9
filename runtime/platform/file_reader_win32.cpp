// Windows' bounded reader: the path through its wide form, anything but a regular file (a folder,
// a device such as CON or NUL, a named pipe) refused with its reason before it is opened, so that
// no read waits on something that is not a file.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "runtime/platform/file_reader.h"
#include "runtime/platform/native_file.h"

namespace platform {
namespace {

std::string CannotBeRead(int error) {
  return std::string("cannot be read (") + std::strerror(error) + ")";
}

// Why `path` is not a regular file to read, or empty when it is one.
std::string WhyNotAFile(const std::filesystem::path& path, int* error) {
  std::error_code status_error;
  const std::filesystem::file_status status = std::filesystem::status(path, status_error);
  if (status_error) {
    *error = status_error == std::errc::no_such_file_or_directory ? ENOENT : EACCES;
    return CannotBeRead(*error);
  }
  if (std::filesystem::is_directory(status)) return "is a folder";
  if (!std::filesystem::is_regular_file(status)) return "is not a regular file";
  return {};
}

}  // namespace

FileContents ReadFileUpTo(const std::string& path, size_t max_bytes) {
  FileContents contents;
  const std::filesystem::path native = NativePath(path);
  contents.why = WhyNotAFile(native, &contents.error);
  if (!contents.ok()) return contents;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenNativeFile(path, "rb"),
                                                             &std::fclose);
  if (!file) {
    contents.error = errno;
    contents.why = CannotBeRead(errno);
    return contents;
  }
  std::error_code size_error;
  const uintmax_t size = std::filesystem::file_size(native, size_error);
  const size_t wanted =
      size_error ? max_bytes : static_cast<size_t>(std::min<uintmax_t>(size, max_bytes));
  contents.cut_short = !size_error && size > max_bytes;
  contents.bytes.resize(wanted);
  const size_t got = std::fread(contents.bytes.data(), 1, wanted, file.get());
  if (std::ferror(file.get())) {
    contents.error = EIO;
    contents.why = CannotBeRead(EIO);
    contents.bytes.clear();
    return contents;
  }
  contents.bytes.resize(got);  // a file that shrank meanwhile gives what it still holds
  return contents;
}

}  // namespace platform
