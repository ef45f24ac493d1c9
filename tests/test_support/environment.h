// Setting the environment of a test process the same way on POSIX and on Windows (which has
// _putenv_s instead of setenv and unsetenv).
#pragma once

#include <cstdlib>

namespace test_support {

// Sets `name` to `value`; where `overwrite` is false, a value already set stays.
inline void SetEnvironment(const char* name, const char* value, bool overwrite) {
#ifdef _WIN32
  if (!overwrite && std::getenv(name)) return;
  _putenv_s(name, value);
#else
  setenv(name, value, overwrite ? 1 : 0);
#endif
}

inline void UnsetEnvironment(const char* name) {
#ifdef _WIN32
  _putenv_s(name, "");  // an empty value removes the variable
#else
  unsetenv(name);
#endif
}

}  // namespace test_support
