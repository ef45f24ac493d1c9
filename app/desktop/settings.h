// What the jukebox remembers between runs: the window's scale, full screen, the output volume
// and whether a song's fade ends in silence, in a small text file under the user's config folder
// ($XDG_CONFIG_HOME, else ~/.config) as "key=value" lines. A missing, damaged or foreign file gives
// the defaults, value by value; nothing in it can crash or mislead the jukebox. Read at start-up,
// written at exit. Main thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace app {

struct Settings {
  int scale = 1;  // 1..kMaxScale
  bool fullscreen = false;
  int volume_step = 0;           // 0 (0 dB) .. kVolumeSilent
  bool fade_to_silence = false;  // the game's fade (to about -20 dB, then a cut) when false
  // The file's lines that are not ours (comments, keys of other versions, text of any length),
  // written back as they were.
  std::vector<std::string> other_lines;
  // The file was larger than kMaxSettingsBytes and only its start was read: it is not rewritten.
  bool read_in_part = false;
};

inline constexpr size_t kMaxSettingsBytes = size_t{1} << 20;

inline constexpr int kMaxScale = 16;

// Reads settings text: every line "key=value" with a known key and a value in range counts, the
// other lines are kept in `other_lines`. Each value stands or falls alone; a known key with a value
// out of range keeps its default, and `problems` (when given) gets a line saying so, the value
// shown escaped and cut (see platform::PrintableText).
Settings ParseSettings(const std::string& text, std::vector<std::string>* problems = nullptr);
std::string FormatSettings(const Settings& settings);

// The settings file's path ("" when neither XDG_CONFIG_HOME nor HOME is set).
std::string SettingsPath();
// The defaults when the file is missing; when it cannot be read (a folder, say) or holds values
// out of range, the defaults that stand are said on standard error.
Settings LoadSettings(const std::string& path);
// Writes the file whole (a temporary file renamed into place), the lines not understood kept;
// false, and why in `why`, when it cannot, or must not (a FIFO or another non-file at `path`, a
// file that was read only in part).
bool SaveSettings(const std::string& path, const Settings& settings, std::string* why = nullptr);

}  // namespace app
