// Songs of one's own: what the command line and dropped files make of files, folders and
// playlists, their titles and time limits.
#include "app/desktop/user_songs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
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
  // A loop from -2^31 to 2^31-1 of 65535 ms steps: far past an int's seconds, never negative.
  EXPECT_EQ(limit(Song(65535, INT32_MIN, INT32_MAX)), INT_MAX);
  EXPECT_EQ(limit(Song(65535, 40000, 40001)), 2621532);  // 2,621,400 s of intro, 131.07 s of loops
}

TEST(UserSongsTest, ARefusedSongIsLeftOutWithTheReasonTheToolsGive) {
  ScratchDirectory dir;
  std::string song = Song(100, 0, 64);
  std::string too_many = song;
  too_many[18 + 4] = static_cast<char>(0x88);  // track 0's note count: 5000 > 4096
  too_many[18 + 5] = 0x13;
  dir.WriteFile("truncated.org", song.substr(0, song.size() - 3));
  dir.WriteFile("header_only.org", song.substr(0, 18));
  dir.WriteFile("too_many.org", too_many);
  dir.WriteFile("no_step.org", Song(0, 0, 64));
  const app::CollectedSongs collected =
      app::CollectSongs({dir.Join("truncated.org"), dir.Join("header_only.org"),
                         dir.Join("too_many.org"), dir.Join("no_step.org")});
  EXPECT_TRUE(collected.songs.empty());
  const std::string damaged = ": a damaged Org song (it ends early or a count is too large)";
  EXPECT_EQ(collected.problems,
            (std::vector<std::string>{
                dir.Join("truncated.org") + damaged, dir.Join("header_only.org") + damaged,
                dir.Join("too_many.org") + damaged,
                dir.Join("no_step.org") + ": the song's step length is 0 ms"}));
}

TEST(UserSongsTest, AFifoIsRefusedAtOnceAndAPaddedSongIsReadOnlyAsFarAsASongGoes) {
  ScratchDirectory dir;
  ASSERT_EQ(mkfifo(dir.Join("fifo.org").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(dir.Join("fifo.txt").c_str(), 0600), 0);
  // A song followed by 300 MB of nothing (sparse: it costs no disk).
  dir.WriteFile("padded.org", Song(100, 0, 64));
  ASSERT_EQ(truncate(dir.Join("padded.org").c_str(), 300 << 20), 0);
  const app::CollectedSongs collected =
      app::CollectSongs({dir.Join("fifo.org"), dir.Join("fifo.txt"), dir.Join("padded.org")});
  ASSERT_EQ(collected.songs.size(), 1u);
  EXPECT_EQ(collected.songs[0].file, dir.Join("padded.org"));
  EXPECT_EQ(collected.problems,
            (std::vector<std::string>{dir.Join("fifo.org") + ": is a FIFO, not a file",
                                      dir.Join("fifo.txt") + ": is a FIFO, not a file"}));
}

TEST(UserSongsTest, APlaylistOfTenThousandEntriesGivesThemAll) {
  ScratchDirectory dir;
  dir.WriteFile("Org/song.org", Song(100, 0, 64));
  std::string playlist;
  for (int i = 0; i < 10000; ++i) playlist += "0\t60\tOrg\\song.org\tS" + std::to_string(i) + "\n";
  dir.WriteFile("many.txt", playlist);
  const app::CollectedSongs collected = app::CollectSongs({dir.Join("many.txt")});
  ASSERT_EQ(collected.songs.size(), 10000u);
  EXPECT_EQ(collected.songs.back().title, "S9999");
  EXPECT_TRUE(collected.problems.empty());
}

TEST(UserSongsTest, PathsWithNulOrInvalidShiftJisAreShownEscapedAndTheRestGoesOn) {
  ScratchDirectory dir;
  dir.WriteFile("Org/song.org", Song(100, 0, 64));
  dir.WriteFile("list.txt", std::string("0\t60\tOrg\\\0a.org\tA\n"
                                        "0\t60\tOrg\\\x82\x7F\x81.org\tB\n"
                                        "0\t60\tOrg\\song.org\tC\n",
                                        57));
  const app::CollectedSongs collected = app::CollectSongs({dir.Join("list.txt")});
  ASSERT_EQ(collected.songs.size(), 1u);  // the entry after the damaged ones still comes
  EXPECT_EQ(collected.songs[0].title, "C");
  ASSERT_EQ(collected.problems.size(), 2u);
  EXPECT_EQ(collected.problems[0], dir.Join("list.txt") + ": Org\\\\x00a.org: no such song");
  EXPECT_EQ(collected.problems[1],
            dir.Join("list.txt") + ": Org\\\\x82\\x7F\\x81.org: no such song");
}

}  // namespace
