// The jukebox's second view (V toggles it; the game's screen stays the default): the music
// drawn in the 320 × 240 picture in the jukebox's pixel style and scaled like the rest. From the
// top: the song's title in the game's font; the step, bar, loop pass and time; a piano roll of
// the coming and past steps (melody notes by key and drum hits in lanes, coloured by track, the
// loop region shaded, bar lines, the play position as a line); the keys; and sixteen
// oscilloscopes, one per track's own signal (labelled with the waveform number or the drum's
// name, triggered on a rising zero crossing so a steady note stands still, flat and dim while
// silent, marked M or S when muted or soloed) with a level bar each. Reads the model, the
// source and the mutes; changes nothing. Main thread, once per frame.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/bitmap_font.h"
#include "app/jukebox_model.h"
#include "app/track_mutes.h"
#include "app/visualiser_source.h"
#include "runtime/platform/pixel_surface.h"

namespace app {

// Frames of each track's signal the view keeps and reads.
inline constexpr int kScopeFrames = 1024;

struct VisualiserLayout {
  static constexpr int kWidth = 320;
  static constexpr int kHeight = 240;
  static constexpr int kInfoTop = 11;  // step, bar, loop pass, time
  static constexpr int kRollTop = 18;  // the melody roll
  static constexpr int kRollHeight = 96;
  static constexpr int kDrumTop = kRollTop + kRollHeight;  // eight drum lanes
  static constexpr int kDrumLane = 2;
  static constexpr int kHelpTop = kDrumTop + 8 * kDrumLane + 2;  // the keys
  static constexpr int kScopesTop = 140;                         // two rows of eight scopes
  static constexpr int kScopeWidth = 40;
  static constexpr int kScopeHeight = 50;
  static constexpr int kStepPixels = 2;     // a step is two pixels wide
  static constexpr int kPlayX = 80;         // the sounding step: 40 steps past, 120 coming
  static constexpr int kScopeWindow = 512;  // samples across a scope
};

class VisualiserView {
 public:
  // Pixel values for colours (the display's layout; tests give their own).
  using ColourMap = std::function<uint32_t(int r, int g, int b)>;
  VisualiserView(const BitmapFont* font, ColourMap colours);

  void Draw(platform::PixelSurface* surface, const JukeboxModel& model, VisualiserSource* source,
            const TrackMutes& mutes);

  // Where melody keys are drawn: the roll spans the song's lowest to highest key, each key a row
  // of `pixels` (1 to 4) from `top`. And the x of a step when `now` sounds.
  struct KeyRows {
    int high = 0;
    int pixels = 1;
    int top = 0;
    int Row(int key) const { return top + (high - key) * pixels; }
  };
  static KeyRows KeyRowsOf(const org::ParsedSong& song);
  // The column of a step when `now` sits under the play line; in 64 bits because songs' steps
  // span the whole of int32, and held within a few screens' widths either side, where the
  // longest note (255 steps) still ends off the screen it started off.
  static int XOfStep(int64_t step, int64_t now) {
    const int64_t x = VisualiserLayout::kPlayX + (step - now) * VisualiserLayout::kStepPixels;
    return static_cast<int>(
        std::clamp<int64_t>(x, -4 * VisualiserLayout::kWidth, 4 * VisualiserLayout::kWidth));
  }
  // Where a trace starts: the first rising zero crossing among the first `range` values.
  static int RisingZeroCrossing(const int32_t* values, int range);
  // The colour of a track, full or dimmed.
  uint32_t TrackColour(int track, bool dim) const;

 private:
  void Fill(int x, int y, int width, int height, uint32_t pixel);
  void DrawInfo(const JukeboxModel& model, const org::ParsedSong& song, VisualiserSource* source);
  void DrawRoll(const org::ParsedSong& song, int64_t now, const TrackMutes& mutes);
  void DrawScopes(const org::ParsedSong& song, VisualiserSource* source, const TrackMutes& mutes);
  void DrawScope(int track, int x, int y, const char* label, int count, int32_t peak,
                 const TrackMutes& mutes);
  // True when the newest `count` values of scope_ hold any sound.
  bool ScopeSounds(int count) const;

  const BitmapFont* font_;
  ColourMap colours_;
  platform::PixelSurface* surface_ = nullptr;
  std::vector<int32_t> scope_;
  int32_t held_peaks_[org::kTrackCount] = {};  // the levels last drawn, for frames between blocks
};

}  // namespace app
