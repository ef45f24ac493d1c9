#include "game_music/playlist.h"

#include <gtest/gtest.h>

#include "runtime/platform/text_encoding.h"

namespace {

std::vector<org::PlaylistEntry> Parse(const std::string& text) {
  return org::ParsePlaylist(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(PlaylistTest, EntriesAreFourItemsSeparatedByAnyWhiteSpace) {
  const auto entries =
      Parse("0\t120\tOrg\\a.org\tONE\n1 90  Org\\b.org\n\tTWO\n2\t30\tc.org\tTHREE\n");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].time_limit, 120);
  EXPECT_EQ(entries[0].path, "Org\\a.org");
  EXPECT_EQ(entries[0].title, "ONE");
  EXPECT_EQ(entries[1].path, "Org\\b.org");
  EXPECT_EQ(entries[1].title, "TWO");
  EXPECT_EQ(entries[2].title, "THREE");
}

TEST(PlaylistTest, ATitleWithASpaceKeepsItsFirstWordAndEndsTheReading) {
  const auto entries = Parse("0\t60\ta.org\tMY SONG\n1\t60\tb.org\tNEXT\n");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].title, "MY");
}

TEST(PlaylistTest, APartialEntryIsKeptWithItsMissingItemsEmpty) {
  auto entries = Parse("0\t60\ta.org");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].path, "a.org");
  EXPECT_EQ(entries[0].title, "");
  entries = Parse("7 x");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].time_limit, 0);
  EXPECT_TRUE(Parse("").empty());
  EXPECT_TRUE(Parse("\n\n  ").empty());
  EXPECT_TRUE(Parse("title 0 0 a b").empty());
}

TEST(PlaylistTest, OverlongItemsAreCutWithoutSplittingACharacter) {
  // Regression: items longer than their fields overflowed them.
  const std::string long_path(100, 'p');
  std::string title;
  for (int i = 0; i < 200; ++i) title += platform::Utf8ToCp932("あ");  // 400 bytes
  const auto entries = Parse("0 1 " + long_path + " " + title + "\n");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].path, std::string(47, 'p'));
  EXPECT_EQ(entries[0].title.size(), 254u);  // 127 whole characters, not 255 bytes
  EXPECT_EQ(org::CutCp932("ab" + platform::Utf8ToCp932("あ"), 3), "ab");
}

TEST(PlaylistTest, NoMoreThan120EntriesAreRead) {
  std::string text;
  for (int i = 0; i < 130; ++i)
    text += std::to_string(i) + "\t10\ts.org\tT" + std::to_string(i) + "\n";
  const auto entries = Parse(text);
  ASSERT_EQ(entries.size(), 120u);
  EXPECT_EQ(entries.back().title, "T119");
}

}  // namespace
