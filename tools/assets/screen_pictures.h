// Our own screen pictures for the jukebox: the font sheet (208 cells of 8 × 8 pixels, 26 to a
// row, laid out as the bitmap font expects: digits, marks, punctuation, A–Z, hiragana, katakana,
// the listed kanji and symbols), rasterised from the Misaki gothic font that Debian ships
// (fonts-misaki, freely licensed; see data/system/FONT-LICENSE.txt) in white on black (black is
// the transparent colour); the same sheet as an 8-bit palette BMP for the fallback; and a
// 320 × 240 background of our own design with dark panels under the text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assets {

// The sheet as 208 × 64 RGB pixels (0xRRGGBB), or empty when the font cannot be read.
std::vector<uint32_t> MakeFontSheet(const std::string& font_file, std::string* error);
std::vector<uint32_t> MakeBackground();

// Encoders for our pictures.
std::vector<uint8_t> EncodeRgbPng(const std::vector<uint32_t>& pixels, int width, int height);
// With `with_alpha` the pixels are 0xAARRGGBB and the PNG keeps their alpha.
std::vector<uint8_t> EncodePng(const std::vector<uint32_t>& pixels, int width, int height,
                               bool with_alpha);
std::vector<uint8_t> EncodePaletteBmp(const std::vector<uint32_t>& pixels, int width, int height);

inline constexpr const char* kMisakiGothic = "/usr/share/fonts/truetype/misaki/misaki_gothic.ttf";

}  // namespace assets
