// What the desktop player shows over the game's screen, and only while it has something to say,
// so the game's default screen stays exactly as it was: the volume for a moment after it changes
// (a strip along the top), and the help (H or F1) listing every key with the song's position and
// length as the jukebox will play it. Drawn in the game's own bitmap font on dark panels.
// Main thread, once per frame, after the game's view.
#pragma once

#include <cstdint>
#include <functional>

#include "app/bitmap_font.h"
#include "app/jukebox_model.h"
#include "runtime/platform/pixel_surface.h"

namespace app {

// Frames the volume strip stays after a change (about 1.5 s of 35 ms frames).
inline constexpr int kVolumeStripFrames = 43;

class OverlayView {
 public:
  using ColourMap = std::function<uint32_t(int r, int g, int b)>;
  OverlayView(const BitmapFont* font, ColourMap colours)
      : font_(font), colours_(std::move(colours)) {}

  // One frame: notes a volume change (from the model's count of them) and draws what is due.
  void Draw(platform::PixelSurface* surface, const JukeboxModel& model, bool help);

  // The text of the volume strip and of the help's last line (for tests).
  // The help's lines, in their order.
  static std::vector<std::string> HelpLines();
  static std::string VolumeText(int step);
  static std::string TimeText(const JukeboxModel& model);

 private:
  void Panel(platform::PixelSurface* surface, int x, int y, int width, int height);

  const BitmapFont* font_;
  ColourMap colours_;
  uint32_t volume_changes_seen_ = 0;
  int volume_frames_left_ = 0;
};

}  // namespace app
