#include "app/bitmap_font.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "runtime/platform/text_encoding.h"

namespace {

using app::BitmapFont;

std::string Codes(const char* utf8) { return BitmapFont::ConvertText(platform::Utf8ToCp932(utf8)); }
std::string Bytes(std::initializer_list<int> codes) {
  std::string out;
  for (int c : codes) out.push_back(static_cast<char>(c));
  return out;
}

// Records every cell drawn: (cell, x, y).
struct Recorder {
  std::vector<std::tuple<int, int, int>> cells;
  BitmapFont font;
  Recorder() {
    font.SetCellDrawerForTesting(
        [this](int cell, int x, int y) { cells.emplace_back(cell, x, y); });
  }
};

TEST(BitmapFontTest, AsciiAndFullWidthLettersShareTheirCells) {
  EXPECT_EQ(Codes("JUKEBOX"), Bytes({83, 94, 84, 78, 75, 88, 97}));
  EXPECT_EQ(Codes("jukebox"), Codes("JUKEBOX"));
  EXPECT_EQ(Codes("ＪＵＫＥＢＯＸ"), Codes("JUKEBOX"));
  EXPECT_EQ(Codes("０９"), Bytes({48, 57}));
  EXPECT_EQ(Codes("a b\n$"), Bytes({74, 125, 75, 5, 1}));
}

TEST(BitmapFontTest, VoicedKanaBecomeTheirMarkAndTheirPlainForm) {
  EXPECT_EQ(Codes("が"), Bytes({58, 57 + 48}));   // ゛ then か (cell 57)
  EXPECT_EQ(Codes("ぱ"), Bytes({59, 78 + 48}));   // ゜ then は (cell 78)
  EXPECT_EQ(Codes("ヴ"), Bytes({58, 132 + 48}));  // ゛ then ウ (cell 132)
  EXPECT_EQ(Codes("の"), Bytes({76 + 48}));
  EXPECT_EQ(Codes("ン"), Bytes({182 + 47}));  // past cell 180 the codes skip one
  EXPECT_EQ(Codes("ー"), Bytes({157}));
  EXPECT_EQ(Codes("「"), Bytes({66}));
}

TEST(BitmapFontTest, AKanaTheSheetLacksEndsTheText) {
  EXPECT_EQ(Codes("あゐい"), Bytes({52 + 48}));
  EXPECT_EQ(Codes("ヰ"), "");
  EXPECT_EQ(Codes("漢A"), Bytes({74}));  // other characters produce nothing
}

TEST(BitmapFontTest, EveryTrailBytePastTheLastKanaEndsTheText) {
  using app::BitmapFont;
  for (int trail = 0xF2; trail <= 0xFF; ++trail)  // past ん (0x82F1)
    EXPECT_EQ(BitmapFont::ConvertText(std::string("A\x82") + static_cast<char>(trail) + "B"),
              Bytes({74}))
        << std::hex << trail;
  for (int trail = 0x97; trail <= 0x9E; ++trail)  // past ヶ (0x8396)
    EXPECT_EQ(BitmapFont::ConvertText(std::string("A\x83") + static_cast<char>(trail) + "B"),
              Bytes({74}))
        << std::hex << trail;
}

TEST(BitmapFontTest, LinesWrapAtTheWidthWithRoomForTrailingPunctuation) {
  Recorder r;
  r.font.DrawCodes(0, 0, 3, 99, Bytes({48, 49, 50, 51, 70, 52}));  // 0123.4
  // "3" passes the width by one column because a full stop follows; the stop stays on the line.
  ASSERT_EQ(r.cells.size(), 6u);
  EXPECT_EQ(r.cells[3], std::make_tuple(3, 24, 0));
  EXPECT_EQ(r.cells[4], std::make_tuple(22, 32, 0));
  EXPECT_EQ(r.cells[5], std::make_tuple(4, 0, 16));
  r.cells.clear();
  r.font.DrawCodes(0, 0, 3, 99, Bytes({48, 49, 50, 70, 51}));  // 012.3: the stop may hang
  EXPECT_EQ(r.cells[3], std::make_tuple(22, 24, 0));
  EXPECT_EQ(r.cells[4], std::make_tuple(3, 0, 16));
}

TEST(BitmapFontTest, AnOpeningBracketIndentsTheFollowingLines) {
  Recorder r;
  r.font.DrawCodes(0, 0, 2, 99, Bytes({66, 48, 49, 50, 1, 51}));
  // 「 0 1 | then every further line starts one column in: 2 and the blank | 3.
  EXPECT_EQ(r.cells[3], std::make_tuple(2, 8, 16));
  EXPECT_EQ(r.cells[4], std::make_tuple(3, 8, 32));
}

TEST(BitmapFontTest, MarksSitAboveTheirKanaWithoutAdvancing) {
  Recorder r;
  r.font.DrawCodes(10, 20, 50, 1, Codes("が"));
  ASSERT_EQ(r.cells.size(), 2u);
  EXPECT_EQ(r.cells[0], std::make_tuple(10, 12, 12));
  EXPECT_EQ(r.cells[1], std::make_tuple(57, 10, 20));
}

TEST(BitmapFontTest, NumbersAreClampedAndPadded) {
  Recorder r;
  r.font.DrawFontNumber(0, 0, 7, 2, 99, 0, true);
  EXPECT_EQ(r.cells, (std::vector<std::tuple<int, int, int>>{{0, 0, 0}, {7, 8, 0}}));
  r.cells.clear();
  r.font.DrawFontNumber(0, 0, 7, 2, 99, 0, false);
  EXPECT_EQ(r.cells, (std::vector<std::tuple<int, int, int>>{{7, 8, 0}}));
  r.cells.clear();
  r.font.DrawFontNumber(0, 0, 150, 2, 99, 0, false);
  EXPECT_EQ(r.cells, (std::vector<std::tuple<int, int, int>>{{9, 0, 0}, {9, 8, 0}}));
  r.cells.clear();
  r.font.DrawFontNumber(0, 0, -5, 3, 0, -9, false);  // "-5": the minus draws nothing
  EXPECT_EQ(r.cells, (std::vector<std::tuple<int, int, int>>{{5, 8, 0}}));
}

}  // namespace
