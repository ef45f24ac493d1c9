#include "runtime/platform/user_folders.h"

#include <cstdlib>

namespace platform {

std::string UserSettingsFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return config;
  if (const char* home = std::getenv("HOME"); home && home[0] != '\0')
    return std::string(home) + "/.config";
  return {};
}

const char* UserSettingsFolderVariables() { return "neither XDG_CONFIG_HOME nor HOME is set"; }

}  // namespace platform
