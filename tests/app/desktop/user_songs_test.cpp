// Songs of one's own: what the command line and dropped files make of files, folders and
// playlists, their titles and time limits.
#include "app/desktop/user_songs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "game_music/org_song.h"
#include "runtime/platform/text_encoding.h"
#include "test_support/scratch_directory.h"

namespace {

using test_support::ScratchDirectory;

// A song of `wait` ms steps, its loop from `start` to `end`.
std::string Song(int wait, int start, int end) {
  org::ParsedSong song;
  song.version = 2;
  song.wait = static_cast<uint16_t>(wait);
  song.loop_start = start;
  song.loop_end = end;
  song.tracks[0].events.push_back({0, 45, 4, 200, 6});
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  return std::string(bytes.begin(), bytes.end());
}

TEST(UserSongsTest, FilesFoldersAndPlaylistsMakeTheListInOrder) {
  ScratchDirectory dir;
  dir.WriteFile("one.org", Song(100, 0, 64));
  dir.WriteFile("folder/b.org", Song(100, 0, 64));
  dir.WriteFile("folder/a.ORG", Song(100, 0, 64));
  dir.WriteFile("folder/notes.txt", "not a song");
  dir.WriteFile("game/Org/Song.org", Song(100, 0, 64));
  dir.WriteFile("game/Org/music.txt", "0\t90\tOrg\\song.org\tGAME\n0\t10\tOrg\\gone.org\tGONE\n");
  dir.WriteFile("bad.org", "not a song at all");
  const app::CollectedSongs collected =
      app::CollectSongs({dir.Join("one.org"), dir.Join("folder"), dir.Join("game/Org/music.txt"),
                         dir.Join("missing.org"), dir.Join("bad.org")});
  ASSERT_EQ(collected.songs.size(), 4u);
  EXPECT_EQ(collected.songs[0].file, dir.Join("one.org"));
  EXPECT_EQ(collected.songs[1].file, dir.Join("folder/a.ORG"));  // sorted by name
  EXPECT_EQ(collected.songs[2].file, dir.Join("folder/b.org"));
  EXPECT_EQ(collected.songs[3].file, dir.Join("game/Org/Song.org"));  // letter case ignored
  EXPECT_EQ(collected.songs[3].title, "GAME");  // the playlist's title and limit
  EXPECT_EQ(collected.songs[3].time_limit, 90);
  EXPECT_EQ(collected.songs[0].title, "one");
  ASSERT_EQ(collected.problems.size(), 3u);
  EXPECT_NE(collected.problems[0].find("Org\\gone.org: no such song"), std::string::npos);
  EXPECT_EQ(collected.problems[1], dir.Join("missing.org") + ": no such file or folder");
  EXPECT_EQ(collected.problems[2], dir.Join("bad.org") + ": not an Org song");
}

TEST(UserSongsTest, TitlesKeepWhatTheFontDrawsAndShowTheRestAsQuestionMarks) {
  EXPECT_EQ(app::FontSafeTitle("Korobeiniki 2"), "Korobeiniki 2");
  EXPECT_EQ(app::FontSafeTitle("さくら"), platform::Utf8ToCp932("さくら"));
  EXPECT_EQ(app::FontSafeTitle("ガ"), platform::Utf8ToCp932("ガ"));  // a voiced kana
  // A kanji the sheet lacks, a kana that would end the text, and a character outside CP932.
  EXPECT_EQ(app::FontSafeTitle("漢ゐé"), "???");
  EXPECT_EQ(app::FontSafeTitle("a(b)"), "a(b)");  // parentheses are blanks in the font
}

TEST(UserSongsTest, TheTimeLimitIsTheIntroAndTwoPassesAtLeastThirtySeconds) {
  auto limit = [](const std::string& bytes) {
    return app::TimeLimitForSong(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  };
  EXPECT_EQ(limit(Song(100, 100, 400)), 70);  // 10 s of intro, two loops of 30 s
  EXPECT_EQ(limit(Song(100, 0, 64)), 30);     // 12.8 s: at least 30
  EXPECT_EQ(limit(Song(125, 0, 1001)), 251);  // 250.25 s, rounded up
  EXPECT_EQ(limit("junk"), -1);
  EXPECT_EQ(limit(Song(0, 0, 64)), -1);  // a song that never moves
}

}  // namespace
