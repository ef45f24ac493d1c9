#include "tools/assets/demo_data.h"

#include <gtest/gtest.h>

#include "org/org_song.h"
#include "org/playlist.h"
#include "test_support/scratch_directory.h"
#include "tools/assets/score_compiler.h"

namespace {

TEST(DemoDataTest, TheGeneratorsMakeExactlyTheCommittedFiles) {
  std::vector<assets::GeneratedFile> files;
  std::string error;
  ASSERT_TRUE(assets::MakeDemoData(PROJECT_SOURCE_DIR "/tools/songs", &files, &error)) << error;
  EXPECT_EQ(files.size(), 1u + 28u + 6u + 1u + 3u);
  for (const assets::GeneratedFile& file : files) {
    const std::string committed =
        test_support::ReadWholeFile(PROJECT_SOURCE_DIR "/data/" + file.relative_path);
    EXPECT_EQ(committed, std::string(file.bytes.begin(), file.bytes.end()))
        << file.relative_path << " differs: run make_assets tools/songs data";
  }
}

TEST(DemoDataTest, TheDemoSongsAreLongEnoughAndUseEveryFileVersion) {
  std::vector<assets::GeneratedFile> files;
  std::string error;
  ASSERT_TRUE(assets::MakeDemoData(PROJECT_SOURCE_DIR "/tools/songs", &files, &error));
  int versions_seen = 0;
  int songs = 0;
  bool one_shot = false;
  bool volume_only = false;
  bool pan_only = false;
  for (const assets::GeneratedFile& file : files) {
    if (file.relative_path.size() < 4 ||
        file.relative_path.substr(file.relative_path.size() - 4) != ".org")
      continue;
    org::ParsedSong song;
    ASSERT_EQ(org::ParseOrgSong(file.bytes.data(), file.bytes.size(), &song),
              org::ParseResult::kOk);
    ++songs;
    versions_seen |= 1 << song.version;
    EXPECT_GE(song.loop_end * song.wait, 60000) << file.relative_path;
    int melody = 0;
    int drums = 0;
    for (int t = 0; t < org::kTrackCount; ++t) {
      const auto& track = song.tracks[t];
      if (track.events.empty()) continue;
      (t < org::kMelodyTracks ? melody : drums) += 1;
      one_shot |= t < org::kMelodyTracks && track.one_shot && song.version > 1;
      for (const org::OrgEvent& e : track.events) {
        volume_only |= e.key == org::kNoValue && e.volume != org::kNoValue;
        pan_only |= e.key == org::kNoValue && e.pan != org::kNoValue;
      }
    }
    EXPECT_GE(melody, 2) << file.relative_path;
    EXPECT_GE(drums, 1) << file.relative_path;
  }
  EXPECT_EQ(songs, 6);
  EXPECT_EQ(versions_seen, 0b1110);
  EXPECT_TRUE(one_shot);
  EXPECT_TRUE(volume_only);
  EXPECT_TRUE(pan_only);
}

TEST(DemoDataTest, ThePlaylistNamesEverySongWithAShiftJisTitle) {
  const std::string text = test_support::ReadWholeFile(PROJECT_SOURCE_DIR "/data/Org/music.txt");
  const auto entries =
      org::ParsePlaylist(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  ASSERT_EQ(entries.size(), 6u);
  for (const org::PlaylistEntry& entry : entries) {
    EXPECT_FALSE(entry.title.empty());
    EXPECT_GT(entry.time_limit, 0);
    std::string native = entry.path;
    for (char& c : native)
      if (c == '\\') c = '/';
    EXPECT_FALSE(test_support::ReadWholeFile(PROJECT_SOURCE_DIR "/data/" + native).empty())
        << entry.path;
  }
}

TEST(ScoreCompilerTest, NotesRestsRepeatsAndSettingsBecomeEvents) {
  assets::CompiledScore score;
  std::string error;
  ASSERT_TRUE(assets::CompileScore(
      "wait 80\nloop 4 end\ntrack 0 wave 7 oneshot\nl2 v100 A4 p3 r/4 [ C5/1 ]2 g1 E4/8:2 v50 r/6\n"
      "track 9 drum 5\nk40 x/3 x\n",
      &score, &error))
      << error;
  const auto& events = score.song.tracks[0].events;
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0].key, 45);  // A4 is octave 3, semitone 9
  EXPECT_EQ(events[0].volume, 100);
  EXPECT_EQ(events[1].key, org::kNoValue);  // the rest carries the pan
  EXPECT_EQ(events[1].pan, 3);
  EXPECT_EQ(events[1].position, 2);
  EXPECT_EQ(events[2].position, 6);
  EXPECT_EQ(events[3].position, 7);
  EXPECT_EQ(events[4].length, 7);     // 8 steps minus a gap of 1
  EXPECT_EQ(events[5].position, 10);  // E4 moved on only 2 steps
  EXPECT_EQ(events[5].volume, 50);
  EXPECT_EQ(score.song.loop_end, 16);
  EXPECT_EQ(score.song.tracks[0].one_shot, 1);
  EXPECT_EQ(score.song.tracks[9].events[1].position, 3);
  EXPECT_EQ(score.song.tracks[9].events[1].key, 40);
}

TEST(ScoreCompilerTest, MistakesAreReportedWithTheirLine) {
  assets::CompiledScore score;
  std::string error;
  EXPECT_FALSE(assets::CompileScore("track 0\nC4 Q7\n", &score, &error));
  EXPECT_EQ(error, "line 2: unknown word 'Q7'");
  EXPECT_FALSE(assets::CompileScore("C4\n", &score, &error));
  EXPECT_FALSE(assets::CompileScore("track 0\nC9\n", &score, &error));
  EXPECT_FALSE(assets::CompileScore("track 0\n[ C4\n", &score, &error));
  EXPECT_FALSE(assets::CompileScore("track 0\nC4/4:0 D4\n", &score, &error));  // same step twice
}

}  // namespace
