// Draws the jukebox's one screen from the model: the background, the title, number, key help,
// modes and the elapsed time, in the places and order the screen has always had them, plus the
// word PAUSE while a song is held (at the right of the mode flags, where no other text lies).
// Main thread, once per frame.
#pragma once

#include "app/bitmap_font.h"
#include "app/jukebox_model.h"

namespace app {

class JukeboxView {
 public:
  explicit JukeboxView(const BitmapFont* font) : font_(font) {}
  void SetBackground(int graph) { background_ = graph; }
  // The background without transparency, then every text.
  void Draw(const JukeboxModel& model) const;

 private:
  const BitmapFont* font_;
  int background_ = -1;
};

}  // namespace app
