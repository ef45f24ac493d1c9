// Bitmap font text: 208 glyph cells of 8 × 8 pixels cut from one sheet; Shift-JIS text becomes
// one-byte cell codes (voiced kana become their mark and their plain form), laid out in 8-pixel
// columns and 16-pixel lines with wrapping, a hanging indent after 「 and one column of
// allowance for trailing punctuation; and clamped, right-aligned numbers. Main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace app {

inline constexpr int kFontCells = 208;

class BitmapFont {
 public:
  BitmapFont() = default;
  virtual ~BitmapFont() = default;

  // Loads font `number` (1..9: system\font_0N.png, 0: system\letter.bmp), falling back to 0.
  void LoadFont(int number);
  // Shift-JIS text to zero-terminated cell codes (never longer than the text).
  static std::string ConvertText(const std::string& text);
  void DrawCodes(int x, int y, int width, int max_lines, const std::string& codes) const;
  void DrawFontText(int x, int y, const std::string& text) const;
  void DrawFontNumber(int x, int y, int value, int width, int max, int min, bool zero_pad) const;

  // Where cells are drawn: (cell 0..207, x, y). Defaults to PutGraph with transparency.
  using CellDrawer = std::function<void(int cell, int x, int y)>;
  void SetCellDrawerForTesting(CellDrawer drawer) { drawer_ = std::move(drawer); }
  int CellHandle(int cell) const { return cells_[cell]; }

 private:
  void DrawCell(int code, int x, int y) const;

  int cells_[kFontCells] = {};
  CellDrawer drawer_;
};

}  // namespace app
