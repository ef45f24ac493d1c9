#include "tools/assets/screen_pictures.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <map>

namespace assets {
namespace {

constexpr int kSheetWidth = 208;
constexpr int kSheetHeight = 64;

// The characters of each cell, row by row; "" is a cell with no character. Where a cell serves
// several characters, the full-width form is drawn: it fills the 8 × 8 cell.
const std::vector<std::vector<std::vector<const char*>>> kRows = {
    {{"０"}, {"１"}, {"２"}, {"３"}, {"４"}, {"５"}, {"６"}, {"７"}, {"８"},
     {"９"}, {"゛"}, {"゜"}, {"、"}, {"。"}, {"！"}, {"？"}, {"＠"}, {"終"},
     {"「"}, {"："}, {"；"}, {"，"}, {"．"}, {"＜"}, {"＞"}, {"／"}},
    {{"Ａ"}, {"Ｂ"}, {"Ｃ"}, {"Ｄ"}, {"Ｅ"}, {"Ｆ"}, {"Ｇ"}, {"Ｈ"}, {"Ｉ"},
     {"Ｊ"}, {"Ｋ"}, {"Ｌ"}, {"Ｍ"}, {"Ｎ"}, {"Ｏ"}, {"Ｐ"}, {"Ｑ"}, {"Ｒ"},
     {"Ｓ"}, {"Ｔ"}, {"Ｕ"}, {"Ｖ"}, {"Ｗ"}, {"Ｘ"}, {"Ｙ"}, {"Ｚ"}},
    {{"あ"}, {"い"}, {"う"}, {"え"}, {"お"}, {"か"}, {"き"}, {"く"}, {"け"},
     {"こ"}, {"さ"}, {"し"}, {"す"}, {"せ"}, {"そ"}, {"た"}, {"ち"}, {"つ"},
     {"て"}, {"と"}, {"な"}, {"に"}, {"ぬ"}, {"ね"}, {"の"}, {""}},
    {{"は"}, {"ひ"}, {"ふ"}, {"へ"}, {"ほ"}, {"ま"}, {"み"}, {"む"}, {"め"},
     {"も"}, {"や"}, {"○"},  {"ゆ"}, {"×"},  {"よ"}, {"ら"}, {"り"}, {"る"},
     {"れ"}, {"ろ"}, {"わ"}, {"剣"}, {"盾"}, {"靴"}, {"を"}, {"魔"}},
    {{"ん"}, {"っ"}, {"ゃ"}, {"ゅ"},      {"ょ"},      {"ー"},       {"ぁ"}, {"ぃ"}, {"ぅ"},
     {"ぇ"}, {"ぉ"}, {"＋"}, {"－", "−"}, {"”", "\""}, {"＊"},       {"＝"}, {"＃"}, {"＆"},
     {"Ⅲ"},  {"［"}, {"］"}, {"離"},      {"押"},      {"～", "〜"}, {"・"}, {""}},
    {{"ア"}, {"イ"}, {"ウ"}, {"エ"}, {"オ"}, {"カ"}, {"キ"}, {"ク"}, {"ケ"},
     {"コ"}, {"サ"}, {"シ"}, {"ス"}, {"セ"}, {"ソ"}, {"タ"}, {"チ"}, {"ツ"},
     {"テ"}, {"ト"}, {"ナ"}, {"ニ"}, {"ヌ"}, {"ネ"}, {"ノ"}, {""}},
    {{"ハ"}, {"ヒ"}, {"フ"}, {"ヘ"}, {"ホ"}, {"マ"}, {"ミ"}, {"ム"}, {"メ"},
     {"モ"}, {"ヤ"}, {"□"},  {"ユ"}, {"△"},  {"ヨ"}, {"ラ"}, {"リ"}, {"ル"},
     {"レ"}, {"ロ"}, {"ワ"}, {""},   {""},   {""},   {"ヲ"}, {""}},
    {{"ン"}, {"ッ"}, {"ャ"}, {"ュ"}, {"ョ"}, {"…"},  {"ァ"}, {"ィ"}, {"ゥ"},
     {"ェ"}, {"ォ"}, {"体"}, {"賽"}, {"膿"}, {"渥"}, {""},   {""},   {""},
     {""},   {""},   {""},   {""},   {""},   {""},   {""},   {""}},
};

uint32_t DecodeUtf8(const char* s) {
  const auto* u = reinterpret_cast<const unsigned char*>(s);
  if (u[0] < 0x80) return u[0];
  if (u[0] < 0xE0) return ((u[0] & 0x1Fu) << 6) | (u[1] & 0x3Fu);
  return ((u[0] & 0x0Fu) << 12) | ((u[1] & 0x3Fu) << 6) | (u[2] & 0x3Fu);
}

// The voiced-sound marks are drawn 8 pixels above the line, 2 to the right of their kana, so their
// ink belongs in the bottom right of the cell: there it touches the kana's top right, where the
// mark belongs. (The font draws them at the top left of a full-width cell.)
constexpr int kVoicedMarkCell = 10;
constexpr int kSemiVoicedMarkCell = 11;

void MoveInkToBottomRight(std::vector<uint32_t>* sheet, int cell) {
  const int left = cell % 26 * 8;
  const int top = cell / 26 * 8;
  int right_ink = -1;
  int bottom_ink = -1;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      if ((*sheet)[static_cast<size_t>(top + y) * kSheetWidth + left + x]) {
        right_ink = std::max(right_ink, x);
        bottom_ink = std::max(bottom_ink, y);
      }
  if (right_ink < 0) return;
  const int dx = 7 - right_ink;
  const int dy = 7 - bottom_ink;
  for (int y = 7; y >= 0; --y)
    for (int x = 7; x >= 0; --x) {
      uint32_t& to = (*sheet)[static_cast<size_t>(top + y) * kSheetWidth + left + x];
      const int from_x = x - dx;
      const int from_y = y - dy;
      to = from_x >= 0 && from_y >= 0
               ? (*sheet)[static_cast<size_t>(top + from_y) * kSheetWidth + left + from_x]
               : 0;
    }
}

}  // namespace

std::vector<uint32_t> MakeFontSheet(const std::string& font_file, std::string* error) {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, font_file.c_str(), 0, &face) != 0 ||
      FT_Set_Pixel_Sizes(face, 0, 8) != 0) {
    *error = "cannot read the font " + font_file + " (Debian package fonts-misaki)";
    if (library) FT_Done_FreeType(library);
    return {};
  }
  std::vector<uint32_t> sheet(static_cast<size_t>(kSheetWidth) * kSheetHeight, 0);
  const int ascender = static_cast<int>(face->size->metrics.ascender >> 6);
  for (size_t row = 0; row < kRows.size(); ++row) {
    for (size_t column = 0; column < kRows[row].size(); ++column) {
      for (const char* candidate : kRows[row][column]) {
        if (candidate[0] == '\0') break;
        const FT_UInt glyph = FT_Get_Char_Index(face, DecodeUtf8(candidate));
        if (glyph == 0 ||
            FT_Load_Glyph(face, glyph, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) !=
                0)
          continue;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        for (unsigned y = 0; y < bitmap.rows; ++y) {
          for (unsigned x = 0; x < bitmap.width; ++x) {
            if (!((bitmap.buffer[y * bitmap.pitch + x / 8] >> (7 - x % 8)) & 1)) continue;
            const int px = face->glyph->bitmap_left + static_cast<int>(x);
            const int py = ascender - face->glyph->bitmap_top + static_cast<int>(y);
            if (px < 0 || px >= 8 || py < 0 || py >= 8) continue;
            sheet[(row * 8 + py) * kSheetWidth + column * 8 + px] = 0xFFFFFF;
          }
        }
        break;
      }
    }
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  for (int cell : {kVoicedMarkCell, kSemiVoicedMarkCell}) MoveInkToBottomRight(&sheet, cell);
  return sheet;
}

std::vector<uint32_t> MakeBackground() {
  constexpr int w = 320;
  constexpr int h = 240;
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
  auto mix = [](double t, uint32_t a, uint32_t b) {
    uint32_t out = 0;
    for (int shift : {16, 8, 0}) {
      const double ca = (a >> shift) & 0xFF;
      const double cb = (b >> shift) & 0xFF;
      out |= static_cast<uint32_t>(std::lround(ca + (cb - ca) * t)) << shift;
    }
    return out;
  };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      // A night sky from deep indigo to violet, with a soft wave of light across it.
      const double wave = 0.5 + 0.5 * std::sin(x * 0.035 + y * 0.02);
      uint32_t c = mix(y / 239.0, 0x0B0C2A, 0x2A1446);
      c = mix(wave * 0.18, c, 0x3C3C8C);
      // Sparse stars from a fixed hash of the position.
      const uint32_t hash =
          (static_cast<uint32_t>(x) * 73856093u) ^ (static_cast<uint32_t>(y) * 19349663u);
      if (hash % 97 == 0 && (hash >> 8) % 3 == 0) c = 0x9898C8;
      pixels[static_cast<size_t>(y) * w + x] = c;
    }
  }
  // Dark panels with a thin frame under the text areas, so that white text stays legible.
  auto panel = [&](int left, int top, int right, int bottom) {
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) {
        const bool edge = y == top || y == bottom - 1 || x == left || x == right - 1;
        pixels[static_cast<size_t>(y) * w + x] = edge ? 0x6A6AB4 : 0x080818;
      }
  };
  panel(12, 48, 308, 92);    // JUKEBOX, modes, number and title
  panel(82, 102, 308, 174);  // key help
  panel(12, 224, 68, 240);   // elapsed time
  return pixels;
}

std::vector<uint8_t> EncodeRgbPng(const std::vector<uint32_t>& pixels, int width, int height) {
  return EncodePng(pixels, width, height, false);
}

std::vector<uint8_t> EncodePng(const std::vector<uint32_t>& pixels, int width, int height,
                               bool with_alpha) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + length);
      },
      nullptr);
  const int channels = with_alpha ? 4 : 3;
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               with_alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> row(static_cast<size_t>(width) * channels);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t c = pixels[static_cast<size_t>(y) * width + x];
      uint8_t* out_pixel = &row[static_cast<size_t>(channels) * x];
      out_pixel[0] = static_cast<uint8_t>(c >> 16);
      out_pixel[1] = static_cast<uint8_t>(c >> 8);
      out_pixel[2] = static_cast<uint8_t>(c);
      if (with_alpha) out_pixel[3] = static_cast<uint8_t>(c >> 24);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> EncodePaletteBmp(const std::vector<uint32_t>& pixels, int width, int height) {
  std::map<uint32_t, uint8_t> palette;
  for (uint32_t c : pixels)
    if (!palette.count(c) && palette.size() < 256)
      palette.emplace(c, static_cast<uint8_t>(palette.size()));
  const int row = (width + 3) & ~3;
  const uint32_t offset = 14 + 40 + 256 * 4;
  std::vector<uint8_t> b(offset + static_cast<size_t>(row) * height, 0);
  auto u32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  u32(2, static_cast<uint32_t>(b.size()));
  u32(10, offset);
  u32(14, 40);
  u32(18, static_cast<uint32_t>(width));
  u32(22, static_cast<uint32_t>(height));  // bottom-up
  b[26] = 1;
  b[28] = 8;
  u32(46, 256);
  for (const auto& [colour, index] : palette) {
    b[54 + index * 4] = static_cast<uint8_t>(colour);
    b[54 + index * 4 + 1] = static_cast<uint8_t>(colour >> 8);
    b[54 + index * 4 + 2] = static_cast<uint8_t>(colour >> 16);
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      b[offset + static_cast<size_t>(height - 1 - y) * row + x] =
          palette[pixels[static_cast<size_t>(y) * width + x]];
  return b;
}

}  // namespace assets
