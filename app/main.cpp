// The jukebox program: the game soundtrack's jukebox as a desktop music player, on the desktop's
// media-player bus when there is one (Linux's MPRIS; Windows has none, and the jukebox plays
// without it there, saying nothing). Without arguments it plays the playlist of its data
// folder, as the game's jukebox always did.
#include <cstdio>

#include "app/desktop/command_line.h"
#include "app/desktop/desktop_jukebox.h"
#include "runtime/platform/program_arguments.h"
#include "runtime/platform/quit_signals.h"
#ifdef JUKEBOX_MEDIA_BUS
#include "app/mpris/mpris_service.h"
#endif

int main(int argc, char** argv) {
  platform::ProgramArguments arguments(argc, argv);
  app::DesktopOptions options;
  const int status = app::ParseDesktopCommandLine(arguments.argc(), arguments.argv(), &options);
  if (status >= 0) return status;
  platform::InstallQuitSignals("jukebox");
#ifdef JUKEBOX_MEDIA_BUS
  app::MprisService bus;
  std::string why;
  if (!bus.Connect(&why)) {
    std::fprintf(stderr, "jukebox: %s: media keys and the desktop's player controls are off\n",
                 why.c_str());
    return app::RunDesktopJukebox(options);
  }
  return app::RunDesktopJukebox(options, &bus);
#else
  return app::RunDesktopJukebox(options);
#endif
}
