// Where a user's own files of the programs live: the folder their settings go in, which the
// desktop player names its own folder under. POSIX: $XDG_CONFIG_HOME (an absolute path), else
// $HOME/.config; Windows: %APPDATA% (the roaming application data). Any thread.
#pragma once

#include <string>

namespace platform {

// The folder as UTF-8, or "" when the environment names none.
std::string UserSettingsFolder();

// What is missing when UserSettingsFolder is "" (for the message that says so).
const char* UserSettingsFolderVariables();

}  // namespace platform
