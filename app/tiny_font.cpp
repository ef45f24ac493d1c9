#include "app/tiny_font.h"

#include <cctype>

namespace app {
namespace {

struct Glyph {
  char character;
  uint8_t rows[kTinyGlyphHeight];
};

// clang-format off
constexpr Glyph kGlyphs[] = {
  {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 3, 1, 7}},
  {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 2, 2}},
  {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}},
  {'A', {2, 5, 7, 5, 5}}, {'B', {6, 5, 6, 5, 6}}, {'C', {3, 4, 4, 4, 3}}, {'D', {6, 5, 5, 5, 6}},
  {'E', {7, 4, 6, 4, 7}}, {'F', {7, 4, 6, 4, 4}}, {'G', {3, 4, 5, 5, 3}}, {'H', {5, 5, 7, 5, 5}},
  {'I', {7, 2, 2, 2, 7}}, {'J', {1, 1, 1, 5, 2}}, {'K', {5, 5, 6, 5, 5}}, {'L', {4, 4, 4, 4, 7}},
  {'M', {5, 7, 5, 5, 5}}, {'N', {6, 5, 5, 5, 5}}, {'O', {2, 5, 5, 5, 2}}, {'P', {6, 5, 6, 4, 4}},
  {'Q', {2, 5, 5, 6, 3}}, {'R', {6, 5, 6, 5, 5}}, {'S', {3, 4, 2, 1, 6}}, {'T', {7, 2, 2, 2, 2}},
  {'U', {5, 5, 5, 5, 7}}, {'V', {5, 5, 5, 5, 2}}, {'W', {5, 5, 5, 7, 5}}, {'X', {5, 5, 2, 5, 5}},
  {'Y', {5, 5, 2, 2, 2}}, {'Z', {7, 1, 2, 4, 7}},
  {'-', {0, 0, 7, 0, 0}}, {':', {0, 2, 0, 2, 0}}, {'/', {1, 1, 2, 4, 4}}, {'.', {0, 0, 0, 0, 2}},
  {'#', {5, 7, 5, 7, 5}}, {'+', {0, 2, 7, 2, 0}}, {',', {0, 0, 0, 2, 4}}, {' ', {0, 0, 0, 0, 0}},
};
// clang-format on

}  // namespace

const uint8_t* TinyGlyph(char character) {
  const char wanted = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
  for (const Glyph& glyph : kGlyphs)
    if (glyph.character == wanted) return glyph.rows;
  return TinyGlyph(' ');
}

int DrawTinyText(platform::PixelSurface* surface, int x, int y, std::string_view text,
                 uint32_t pixel) {
  for (const char character : text) {
    const uint8_t* rows = TinyGlyph(character);
    for (int row = 0; row < kTinyGlyphHeight; ++row) {
      for (int column = 0; column < kTinyGlyphWidth; ++column) {
        const int px = x + column;
        const int py = y + row;
        if ((rows[row] & (4 >> column)) && px >= 0 && py >= 0 && px < surface->width() &&
            py < surface->height())
          surface->SetPixel(px, py, pixel);
      }
    }
    x += kTinyGlyphAdvance;
  }
  return x;
}

}  // namespace app
