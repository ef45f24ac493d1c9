#include "runtime/platform/program_arguments.h"

namespace platform {

ProgramArguments::ProgramArguments(int argc, char** argv) : strings_(argv, argv + argc) {
  for (std::string& argument : strings_) pointers_.push_back(argument.data());
  pointers_.push_back(nullptr);
}

}  // namespace platform
