// The jukebox's keys, turned into the model's operations once per frame, in the order the screen
// has always tested them: Space or P play, S shuffles, D restores the order, E toggles endless
// repeat, Left and Right step. Beyond them: Return and Pause hold and resume the song, Up and
// Down raise and lower the volume, and F11 or Alt+Return ask for full screen (which belongs to
// the window, so it is handed back to the caller). Main thread.
#pragma once

#include "app/jukebox_model.h"
#include "app/key_tracker.h"

namespace app {

// What the keys asked of the window (not of the model).
struct WindowRequests {
  bool toggle_fullscreen = false;
};

// Acts on the keys sampled at the end of the previous frame.
WindowRequests ApplyKeys(const KeyTracker& keys, JukeboxModel* model);

}  // namespace app
