#include "app/desktop/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/desktop/settings.h"

namespace app {

const char* DesktopUsage() {
  return "usage: jukebox [options] [SONG.org | FOLDER | PLAYLIST.txt]...\n"
         "Plays a game soundtrack of Org songs: the data folder's playlist, or the songs given\n"
         "(a folder gives its .org files by name; a playlist file is in the music.txt format).\n"
         "\n"
         "Options:\n"
         "  --scale N       the window N times 320 x 240 (1 to 16; default: as last time, else 1)\n"
         "  --fullscreen    start covering the screen\n"
         "  --window        start in a window, whatever last time was\n"
         "  --data DIR      play the game folder DIR (its playlist, bank, drums, font and\n"
         "                  background; what it lacks is said), instead of looking for one\n"
         "  --fade-to-silence  end each song's fade in silence; --game-fade: the game's fade,\n"
         "                  which stops about 20 dB down and cuts (the default; remembered)\n"
         "  --help          this text\n"
         "  --version       the version\n"
         "\n"
         "Keys:\n"
         "  Space or P      play the song at the current position from its start\n"
         "  Right / Left    next / previous song\n"
         "  S / D           shuffle the play order / restore it\n"
         "  E               endless repeat on or off\n"
         "  Return, Pause   pause and resume\n"
         "  Up / Down       volume up / down in 3 dB steps (0 dB to -45 dB, then silent)\n"
         "  Comma / Period  5 s back / forward in the song; Home: to where its loop starts\n"
         "  V               the visualiser (scopes and piano roll) or the game's screen;\n"
         "                  in it 1-8 mute melody tracks, Shift+1-8 drum tracks, Ctrl solos,\n"
         "                  0 lets every track be heard\n"
         "  H, F1           help: every key, the song's position and length\n"
         "  F11, Alt+Return full screen on or off\n"
         "  Escape          quit\n"
         "Songs or folders dropped on the window are added and the first of them plays.\n";
}

int ParseDesktopCommandLine(int argc, char** argv, DesktopOptions* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(DesktopUsage(), stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("jukebox (Orvalinde JUKEBOX) %s\n", JUKEBOX_VERSION);
      return 0;
    }
    if (arg == "--scale") {
      const std::string value = i + 1 < argc ? argv[++i] : "";
      const bool digits = !value.empty() && value.size() <= 2 &&
                          value.find_first_not_of("0123456789") == std::string::npos;
      const int scale = digits ? std::atoi(value.c_str()) : 0;
      if (scale < 1 || scale > kMaxScale) {
        std::fprintf(stderr, "jukebox: --scale needs a whole number from 1 to %d\n%s", kMaxScale,
                     DesktopUsage());
        return 2;
      }
      options->scale = scale;
    } else if (arg == "--data") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        std::fprintf(stderr, "jukebox: --data needs a folder\n%s", DesktopUsage());
        return 2;
      }
      options->data_folder = argv[++i];
    } else if (arg == "--fade-to-silence" || arg == "--game-fade") {
      options->fade_to_silence = arg == "--fade-to-silence" ? 1 : 0;
    } else if (arg == "--fullscreen") {
      options->fullscreen = 1;
    } else if (arg == "--window") {
      options->fullscreen = 0;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "jukebox: unknown option %s\n%s", arg.c_str(), DesktopUsage());
      return 2;
    } else {
      options->sources.push_back(arg);
    }
  }
  return -1;
}

}  // namespace app
