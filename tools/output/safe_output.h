// Writing a tool's output without ever losing a file. Every tool that writes a file goes through
// here (org2wav and its stems, songc, and the export formats):
//   - an output that is one of the inputs (the same device and inode, whatever the names) is
//     refused before any work;
//   - a regular file or a name not yet taken is written to a temporary file beside it and
//     renamed over it only when complete, with the mode the user's umask gives a new file;
//   - a symbolic link is followed to its target, as the shell's ">" does;
//   - a FIFO, a terminal or another device is written directly (nothing renamed over it), as is
//     "-", standard output;
//   - a fatal signal (SIGINT, SIGTERM, SIGHUP and every other signal whose default is to end the
//     program) removes the temporary files being written before the program ends.
// Errors say why, with the system's reason after the path. Outputs may be opened and written on
// several threads at once (one SafeOutput per thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// True when `a` and `b` name the same existing file (links followed).
bool SameFile(const std::string& a, const std::string& b);

// The input among `inputs` that `output` would overwrite, or "" when none.
std::string InputOverwrittenBy(const std::string& output, const std::vector<std::string>& inputs);

// "PATH: reason" for the errno value `error` (a missing folder, read-only, is a folder...).
std::string DescribeFileError(const std::string& path, int error);

class SafeOutput {
 public:
  SafeOutput() = default;
  ~SafeOutput();  // an output not committed is abandoned: its temporary file goes
  SafeOutput(const SafeOutput&) = delete;
  SafeOutput& operator=(const SafeOutput&) = delete;

  // Starts writing `path` ("-" for standard output). False with `error` when it cannot.
  bool Open(const std::string& path, std::string* error);
  // Appends bytes; false once any write has failed (the failure is kept for Commit).
  bool Write(const void* data, size_t bytes);
  // True when the output can be rewritten in place (a temporary file), false for a stream.
  bool seekable() const { return !temporary_.empty(); }
  // Rewrites bytes at `offset` (seekable outputs only).
  bool WriteAt(uint64_t offset, const void* data, size_t bytes);
  // Finishes: flushes, closes and renames the temporary file into place. False with `error`.
  bool Commit(std::string* error);
  // Gives the output up: a temporary file is removed, nothing is renamed.
  void Abandon();

  // The path being written as the user named it.
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  bool own_fd_ = false;
  std::string path_;       // as named
  std::string target_;     // where the finished file lands (links followed)
  std::string temporary_;  // "" when writing directly
  int error_ = 0;          // the first write error's errno
  int cleanup_slot_ = -1;  // where the signal handler finds the temporary file
};

// Removes the registered temporary files when a fatal signal ends the program, then lets the
// signal end it as it would have. Installed once by the first SafeOutput; tests may call it.
void InstallSignalCleanup();

}  // namespace tools
