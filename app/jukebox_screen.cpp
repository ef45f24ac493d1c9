#include "app/jukebox_screen.h"

namespace app {

JukeboxScreen::JukeboxScreen(JukeboxPlayer* player, const BitmapFont* font, const KeyTracker* keys)
    : model_(player), view_(font), keys_(keys) {}

WindowRequests JukeboxScreen::Step() {
  model_.BeginFrame();
  view_.Draw(model_);
  const WindowRequests requests = ApplyKeys(*keys_, &model_);
  // The elapsed time the advance compares is the one drawn, before this frame's keys acted.
  model_.AutoAdvance();
  return requests;
}

}  // namespace app
