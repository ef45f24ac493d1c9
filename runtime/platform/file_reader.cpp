#include "runtime/platform/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform {
namespace {

// What a path that is not a regular file is, for the message.
const char* WhatItIs(mode_t mode) {
  if (S_ISDIR(mode)) return "is a folder";
  if (S_ISFIFO(mode)) return "is a FIFO, not a file";
  if (S_ISSOCK(mode)) return "is a socket, not a file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a file";
  return "is not a regular file";
}

std::string CannotBeRead(int error) {
  return std::string("cannot be read (") + std::strerror(error) + ")";
}

// Opens `path` for reading without blocking and checks that it is a regular file: its descriptor
// (close it when done), or -1 with `why` and `error` set as in FileContents.
int OpenRegularFile(const std::string& path, std::string* why, int* error) {
  // O_NONBLOCK: opening a FIFO without a writer (or a device that waits) returns at once.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = errno;
    *why = CannotBeRead(errno);
    return -1;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    const int fstat_error = errno;
    close(fd);
    if (error) *error = fstat_error;
    *why = CannotBeRead(fstat_error);
    return -1;
  }
  if (!S_ISREG(info.st_mode)) {
    close(fd);
    if (error) *error = 0;
    *why = WhatItIs(info.st_mode);
    return -1;
  }
  // A regular file never blocks; reads go on as usual.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

FileContents ReadFileUpTo(const std::string& path, size_t max_bytes) {
  FileContents contents;
  const int fd = OpenRegularFile(path, &contents.why, &contents.error);
  if (fd < 0) return contents;
  struct stat info {};
  fstat(fd, &info);
  const size_t size = static_cast<size_t>(std::max<off_t>(info.st_size, 0));
  contents.cut_short = size > max_bytes;
  contents.bytes.resize(std::min(size, max_bytes));
  size_t got = 0;
  while (got < contents.bytes.size()) {
    const ssize_t n = read(fd, contents.bytes.data() + got, contents.bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      contents.error = errno;
      contents.why = CannotBeRead(errno);
      contents.bytes.clear();
      break;
    }
    if (n == 0) break;  // a file that shrank meanwhile gives what it still holds
    got += static_cast<size_t>(n);
  }
  if (contents.ok()) contents.bytes.resize(got);
  close(fd);
  return contents;
}

}  // namespace platform
