// The jukebox's command line: options for the window, and the songs to play instead of the data
// folder's playlist. Main thread, before anything starts.
#pragma once

#include <string>
#include <vector>

namespace app {

struct DesktopOptions {
  int scale = 0;                     // 0: as the settings say
  int fullscreen = -1;               // -1: as the settings say; 0 or 1 when an option said so
  std::vector<std::string> sources;  // SONG.org, FOLDER or PLAYLIST.txt, in order
  std::string data_folder;           // --data: the game folder to use; "" to look for it
  int fade_to_silence = -1;          // -1: as the settings say; 1 --fade-to-silence, 0 --game-fade
};

// Reads argv. Returns -1 to go on, or the exit status after printing: the usage on standard
// output for --help (0), the version for --version (0), the usage on standard error for an
// unknown option or a bad value (2).
int ParseDesktopCommandLine(int argc, char** argv, DesktopOptions* options);

// The usage text (options and keys).
const char* DesktopUsage();

}  // namespace app
