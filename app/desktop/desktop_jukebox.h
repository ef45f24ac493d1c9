// The jukebox as a desktop music player: the game's jukebox with, around it, the command line's
// songs (instead of the data folder's playlist), the data folder found wherever the program was
// started, a resizable window (any size, full screen with F11 or Alt+Return, the picture at the
// largest whole factor), pause and volume, files dropped on the window, and the scale, full
// screen and volume remembered between runs. Main thread; main() calls it.
#pragma once

#include "app/desktop/command_line.h"
#include "app/jukebox_app.h"

namespace app {

// Runs the jukebox with `options`; `more` (may be null) adds further extras (a media-player bus).
// The exit status: 0, or 1 when songs were given and none of them can be played.
int RunDesktopJukebox(const DesktopOptions& options, JukeboxExtras* more = nullptr);

}  // namespace app
