#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "runtime/platform/program_arguments.h"
#include "runtime/platform/wide_text.h"

namespace platform {

ProgramArguments::ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide) {
    for (int i = 0; i < count; ++i) strings_.push_back(Utf8FromWide(wide[i]));
    LocalFree(wide);
  } else {
    strings_.assign(argv, argv + argc);  // the ANSI form is better than nothing
  }
  for (std::string& argument : strings_) pointers_.push_back(argument.data());
  pointers_.push_back(nullptr);
}

}  // namespace platform
