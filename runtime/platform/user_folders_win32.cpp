#include <cstdlib>

#include "runtime/platform/user_folders.h"
#include "runtime/platform/wide_text.h"

namespace platform {

// Read in its wide form: a user's name (and so the folder) may hold any character.
std::string UserSettingsFolder() {
  const wchar_t* app_data = _wgetenv(L"APPDATA");
  return app_data && app_data[0] != L'\0' ? Utf8FromWide(app_data) : std::string();
}

const char* UserSettingsFolderVariables() { return "APPDATA is not set"; }

}  // namespace platform
