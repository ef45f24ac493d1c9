#include "test_support/program_run.h"

#include <sys/wait.h>

#include <cstdio>

namespace test_support {

ProgramRun RunProgram(const std::string& program, const std::string& arguments) {
  ProgramRun run;
  const std::string command = program + " " + arguments + " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) run.output.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace test_support
