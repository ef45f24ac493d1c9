// A 3 × 5 pixel font of our own for the visualiser's labels and figures (digits, capitals and a
// few signs), small enough for sixteen scope labels on the 320 × 240 picture. Lower case draws as
// capitals; characters it lacks draw as blanks. Main thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/platform/pixel_surface.h"

namespace app {

inline constexpr int kTinyGlyphWidth = 3;
inline constexpr int kTinyGlyphHeight = 5;
inline constexpr int kTinyGlyphAdvance = 4;

// The rows of a character's glyph, top first; in a row, 4 is the left pixel, 1 the right.
const uint8_t* TinyGlyph(char character);

// Draws `text` with its top-left corner at (x, y) in `pixel`, clipped to the surface; returns
// the x after the last glyph.
int DrawTinyText(platform::PixelSurface* surface, int x, int y, std::string_view text,
                 uint32_t pixel);

// The width `text` takes, in pixels.
inline int TinyTextWidth(std::string_view text) {
  return text.empty() ? 0 : static_cast<int>(text.size()) * kTinyGlyphAdvance - 1;
}

}  // namespace app
