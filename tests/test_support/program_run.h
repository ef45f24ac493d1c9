// Runs one of our programs as a user would from a shell, for the command-line tests.
#pragma once

#include <string>

namespace test_support {

struct ProgramRun {
  int status = -1;     // the exit code; -1 when the program was killed by a signal
  std::string output;  // standard output and error together
};

// Runs `program` with `arguments` (shell words) and waits for it to end.
ProgramRun RunProgram(const std::string& program, const std::string& arguments);

}  // namespace test_support
