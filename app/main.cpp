// The jukebox program: the game soundtrack's jukebox as a desktop music player. Without
// arguments it plays the playlist of its data folder, as the game's jukebox always did.
#include "app/desktop/command_line.h"
#include "app/desktop/desktop_jukebox.h"

int main(int argc, char** argv) {
  app::DesktopOptions options;
  const int status = app::ParseDesktopCommandLine(argc, argv, &options);
  if (status >= 0) return status;
  return app::RunDesktopJukebox(options);
}
