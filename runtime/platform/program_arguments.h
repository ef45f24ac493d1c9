// The program's arguments as UTF-8, the text every option parser and path of ours expects: on
// Windows taken again from the wide command line (main's argv holds them in the ANSI code page,
// which turns characters outside it into '?'), elsewhere argv as it is. Made once at the top
// of main, on the main thread, and kept for the program's life.
#pragma once

#include <string>
#include <vector>

namespace platform {

class ProgramArguments {
 public:
  ProgramArguments(int argc, char** argv);
  ProgramArguments(const ProgramArguments&) = delete;
  ProgramArguments& operator=(const ProgramArguments&) = delete;

  int argc() const { return static_cast<int>(strings_.size()); }
  // argc() pointers to the arguments, then a null pointer, as main's argv.
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> strings_;
  std::vector<char*> pointers_;
};

}  // namespace platform
