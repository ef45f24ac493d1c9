// The jukebox program: the game soundtrack's jukebox as a desktop music player, on the desktop's
// media-player bus when there is one. Without arguments it plays the playlist of its data
// folder, as the game's jukebox always did.
#include <cstdio>

#include "app/desktop/command_line.h"
#include "app/desktop/desktop_jukebox.h"
#include "app/mpris/mpris_service.h"
#include "runtime/platform/quit_signals.h"

int main(int argc, char** argv) {
  app::DesktopOptions options;
  const int status = app::ParseDesktopCommandLine(argc, argv, &options);
  if (status >= 0) return status;
  platform::InstallQuitSignals("jukebox");
  app::MprisService bus;
  std::string why;
  if (!bus.Connect(&why)) {
    std::fprintf(stderr, "jukebox: %s: media keys and the desktop's player controls are off\n",
                 why.c_str());
    return app::RunDesktopJukebox(options);
  }
  return app::RunDesktopJukebox(options, &bus);
}
