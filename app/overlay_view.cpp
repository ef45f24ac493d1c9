#include "app/overlay_view.h"

#include <iterator>
#include <string>
#include <vector>

#include "app/song_clock.h"

namespace app {
namespace {

// The help's lines: every key of the game's screen and of the desktop player.
constexpr const char* kHelpLines[] = {
    "SPACE/P   PLAY FROM THE START",
    "RIGHT     NEXT SONG",
    "LEFT      PREVIOUS SONG",
    "S/D       SHUFFLE ON/OFF",
    "E         ENDLESS REPEAT",
    "RETURN    PAUSE AND RESUME",
    "UP/DOWN   VOLUME",
    ",/.       BACK/FORWARD 5 S",
    "HOME      TO THE LOOP START",
    "V         VISUALISER",
    "1-8       MUTE A TRACK (VISUALISER)",
    "SHIFT 1-8 MUTE A DRUM TRACK",
    "CTRL 1-8  SOLO A TRACK (SHIFT: DRUM)",
    "0         EVERY TRACK HEARD AGAIN",
    "F11       FULL SCREEN",
    "H/F1      THIS HELP",
    "ESC       QUIT",
};

}  // namespace

std::vector<std::string> OverlayView::HelpLines() {
  return std::vector<std::string>(std::begin(kHelpLines), std::end(kHelpLines));
}

std::string OverlayView::VolumeText(int step) {
  if (step >= kVolumeSilent) return "VOLUME  SILENT";
  return step == 0 ? "VOLUME  0 DB" : "VOLUME  -" + std::to_string(3 * step) + " DB";
}

std::string OverlayView::TimeText(const JukeboxModel& model) {
  const int index = model.current_index();
  if (index < 0 || !model.playing()) return "NO SONG PLAYS";
  return SongClockText(model);
}

void OverlayView::Panel(platform::PixelSurface* surface, int x, int y, int width, int height) {
  const platform::SurfaceRect border{x, y, x + width, y + height};
  surface->Fill(&border, colours_(160, 160, 160));
  const platform::SurfaceRect inside{x + 1, y + 1, x + width - 1, y + height - 1};
  surface->Fill(&inside, colours_(0, 0, 32));
}

void OverlayView::Draw(platform::PixelSurface* surface, const JukeboxModel& model, bool help) {
  if (model.volume_changes() != volume_changes_seen_) {
    volume_changes_seen_ = model.volume_changes();
    volume_frames_left_ = kVolumeStripFrames;
  }
  if (volume_frames_left_ > 0) {
    --volume_frames_left_;
    Panel(surface, 0, 0, 320, 12);
    font_->DrawFontText(8, 2, VolumeText(model.volume_step()));
    // The level as a bar: full at 0 dB, a notch less each 3 dB step.
    const int width = 120 * (kVolumeSilent - model.volume_step()) / kVolumeSilent;
    const platform::SurfaceRect bar{190, 3, 190 + width, 9};
    surface->Fill(&bar, colours_(224, 224, 96));
  }
  if (!help) return;
  const int lines = static_cast<int>(sizeof kHelpLines / sizeof kHelpLines[0]);
  const int top = 16;
  Panel(surface, 24, top, 272, 10 * (lines + 3) + 4);
  font_->DrawFontText(32, top + 4, "KEYS");
  for (int i = 0; i < lines; ++i) font_->DrawFontText(32, top + 16 + 10 * i, kHelpLines[i]);
  font_->DrawFontText(32, top + 20 + 10 * lines, TimeText(model));
}

}  // namespace app
