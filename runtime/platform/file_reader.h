// The one reader of whole files named by a UTF-8 path (POSIX: the bytes as they are; Windows: its
// wide form, file_reader_win32.cpp): the tools, the desktop player, the plugins' shared loaders
// and the game's data loaders all read through it.
// It reads at most a bound the caller gives (the largest file its format can hold), so that a huge
// file costs no more than the largest useful one, and it never waits: the path is opened without
// blocking and anything but a regular file (a FIFO, a device, a socket, a folder) is refused with a
// reason instead of hanging in open() or read(). Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// What ReadFileUpTo read: the first `max_bytes` bytes of the file, or why there are none.
struct FileContents {
  std::vector<uint8_t> bytes;
  // Empty when the file was read; otherwise one short phrase for a message after the path:
  // "is a folder", "is a FIFO, not a file", "cannot be read (Permission denied)", ...
  std::string why;
  int error = 0;           // the errno behind `why` when opening or reading failed, else 0
  bool cut_short = false;  // the file holds more than `max_bytes`: only that many were read
  bool ok() const { return why.empty(); }
};

// Reads the file at `path`, at most its first `max_bytes` bytes.
FileContents ReadFileUpTo(const std::string& path, size_t max_bytes);

}  // namespace platform
