// The jukebox's screen step, once per frame: the model's frame begins (the time of a new song
// starts again), the view draws it (the game's screen, or the visualiser while V has it shown),
// the keys act on it, and a song past its time limit asks for the next. Owns the model, which the
// rest of the program (command line, dropped files, the media-player bus) reaches through
// model(). Main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "app/bitmap_font.h"
#include "app/jukebox_keys.h"
#include "app/jukebox_model.h"
#include "app/jukebox_view.h"
#include "app/key_tracker.h"
#include "app/overlay_view.h"
#include "app/track_mutes.h"
#include "app/visualiser_source.h"
#include "app/visualiser_view.h"

namespace app {

class JukeboxScreen {
 public:
  JukeboxScreen(JukeboxPlayer* player, const BitmapFont* font, const KeyTracker* keys);

  // Play order positions 0..entry_count - 1 hold their own numbers.
  void ResetPlayOrder() { model_.ResetPlayOrder(); }
  void SetBackground(int graph) { view_.SetBackground(graph); }
  // Offers the visualiser (V), drawn on `surface` (the back buffer) from `source`, and the
  // overlays (the volume as it changes, the help on H or F1); without them V and H do nothing.
  void SetVisualiser(VisualiserSource* source, VisualiserView::ColourMap colours,
                     std::function<platform::PixelSurface*()> surface);
  // Shows the visualiser or the game's screen. Leaving the visualiser lets every track be heard.
  void ShowVisualiser(bool shown);
  bool visualiser_shown() const { return visualiser_shown_; }
  bool help_shown() const { return help_shown_; }
  const TrackMutes& track_mutes() const { return mutes_; }
  // One frame: draw, then act on the keys sampled at the end of the previous frame. Returns
  // what the keys asked of the window.
  WindowRequests Step();

  JukeboxModel& model() { return model_; }
  const JukeboxModel& model() const { return model_; }
  bool shuffle() const { return model_.shuffle(); }
  bool endless() const { return model_.endless(); }
  int play_order(int position) const { return model_.play_order(position); }
  // Elapsed seconds as the last step showed them.
  uint32_t shown_seconds() const { return model_.shown_seconds(); }

  // Replaces the millisecond clock (tests).
  using ClockMs = JukeboxModel::ClockMs;
  void SetClockForTesting(ClockMs clock) { model_.SetClockForTesting(clock); }

 private:
  JukeboxModel model_;
  JukeboxView view_;
  const KeyTracker* keys_;
  const BitmapFont* font_;
  VisualiserSource* source_ = nullptr;
  std::unique_ptr<VisualiserView> visualiser_;
  std::unique_ptr<OverlayView> overlay_;
  std::function<platform::PixelSurface*()> surface_;
  TrackMutes mutes_;
  bool visualiser_shown_ = false;
  bool help_shown_ = false;
};

}  // namespace app
