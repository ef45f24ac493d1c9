// The jukebox's keys, turned into the model's operations once per frame, in the order the screen
// has always tested them: Space or P play, S shuffles, D restores the order, E toggles endless
// repeat, Left and Right step. Beyond them: Return and Pause hold and resume the song, Up and
// Down raise and lower the volume, comma and period seek 5 s back and forward, Home seeks to the
// loop start, and F11 or Alt+Return ask for full screen and V for the other view (which belong
// to the window, so they are handed back to the caller). Main thread.
#pragma once

#include "app/jukebox_model.h"
#include "app/key_tracker.h"

namespace app {

// What the keys asked of the window (not of the model).
struct WindowRequests {
  bool toggle_fullscreen = false;
  bool toggle_view = false;  // the game's screen or the visualiser
  bool toggle_help = false;  // the help over the screen
};

// Acts on the keys sampled at the end of the previous frame.
WindowRequests ApplyKeys(const KeyTracker& keys, JukeboxModel* model);

}  // namespace app
