// What the jukebox remembers between runs: the window's scale, full screen, the output volume
// and whether a song's fade ends in silence, in a small text file under the user's config folder
// ($XDG_CONFIG_HOME, else ~/.config) as "key=value" lines. A missing, damaged or foreign file gives
// the defaults, value by value; nothing in it can crash or mislead the jukebox. Read at start-up,
// written at exit. Main thread.
#pragma once

#include <string>

namespace app {

struct Settings {
  int scale = 1;  // 1..kMaxScale
  bool fullscreen = false;
  int volume_step = 0;           // 0 (0 dB) .. kVolumeSilent
  bool fade_to_silence = false;  // the game's fade (to about -20 dB, then a cut) when false
};

inline constexpr int kMaxScale = 16;

// Reads settings text: every line "key=value" with a known key and a value in range counts, the
// rest is ignored.
Settings ParseSettings(const std::string& text);
std::string FormatSettings(const Settings& settings);

// The settings file's path ("" when neither XDG_CONFIG_HOME nor HOME is set).
std::string SettingsPath();
// The defaults when the file is missing or unreadable.
Settings LoadSettings(const std::string& path);
// Writes the file whole (a temporary file renamed into place); false when it cannot.
bool SaveSettings(const std::string& path, const Settings& settings);

}  // namespace app
