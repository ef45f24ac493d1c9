#include "tools/assets/demo_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "game_music/playlist.h"
#include "org/org_format.h"
#include "test_support/scratch_directory.h"
#include "tools/assets/app_icon.h"
#include "tools/assets/score_compiler.h"
#include "tools/assets/screen_pictures.h"

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

TEST(DemoDataTest, TheGeneratorMakesExactlyTheCommittedIcons) {
  const std::vector<assets::IconFile> icons = assets::MakeAppIcons();
  EXPECT_EQ(icons.size(), 7u);
  for (const assets::IconFile& icon : icons) {
    const std::string committed =
        test_support::ReadWholeFile(PROJECT_SOURCE_DIR "/packaging/icons/" + icon.relative_path);
    EXPECT_EQ(committed, std::string(icon.bytes.begin(), icon.bytes.end()))
        << icon.relative_path << " differs: run make_assets tools/songs data packaging/icons";
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

TEST(ScoreCompilerTest, MistakesSayWhatWasExpectedNearWhatWasWritten) {
  const struct {
    const char* score;
    const char* error;
  } cases[] = {
      {"tempo 120\n",
       "line 1: unknown header word 'tempo': a header line starts with title, "
       "file, limit, version, wait, meter, loop or track"},
      {"C4 D4\n", "line 1: 'C4' before any track line: notes and settings follow 'track T'"},
      {"track 0 wave 12 finetune\nC4\n", "line 1: 'finetune' needs a value"},
      {"track 0 wav 12\nC4\n",
       "line 1: unknown track setting 'wav' (the settings: wave N or drum N, finetune N, oneshot)"},
      {"loop 16 ned\ntrack 0\nC4\n",
       "line 1: the loop end (or 'end') must be 0 to 999999999, not 'ned'"},
      {"track 0\nC4 x\n",
       "line 2: 'x' is a drum hit, on melody track 0: melody tracks play notes such as C4 or "
       "F#3/2"},
      {"", "the score holds no notes: there is nothing to play"},
      {"wait 100\ntrack 3 wave 1\n\n", "the score holds no notes: there is nothing to play"},
  };
  for (const auto& c : cases) {
    assets::CompiledScore score;
    std::string error;
    EXPECT_FALSE(assets::CompileScore(c.score, &score, &error)) << c.score;
    EXPECT_EQ(error, c.error) << c.score;
  }
  // A drum track takes both names for its drum, and hits.
  assets::CompiledScore score;
  std::string error;
  EXPECT_TRUE(assets::CompileScore("track 9 drum 2\nk40 x x/2\n", &score, &error)) << error;
  EXPECT_EQ(score.song.tracks[9].wave, 2);
}

TEST(ScoreCompilerTest, NumbersTooLargeAreErrorsWithTheirLineNotAborts) {
  assets::CompiledScore score;
  std::string error;
  EXPECT_FALSE(assets::CompileScore("track 0\n\nC4/99999999999999999999\n", &score, &error));
  EXPECT_EQ(error.substr(0, 8), "line 3: ");
  EXPECT_FALSE(assets::CompileScore("track 0\n@4000000000\n", &score, &error));
  EXPECT_EQ(error.substr(0, 8), "line 2: ");
  EXPECT_FALSE(assets::CompileScore("wait 99999999999\n", &score, &error));
  EXPECT_EQ(error.substr(0, 8), "line 1: ");
}

TEST(ScoreCompilerTest, AHugeRepeatIsRefusedBeforeItIsWrittenOut) {
  // Written out, this would take gigabytes; it must be refused from its size alone.
  assets::CompiledScore score;
  std::string error;
  EXPECT_FALSE(assets::CompileScore("track 0\n[ C4 ]999999999\n", &score, &error));
  EXPECT_NE(error.find("line 2: the repeats come to more than"), std::string::npos) << error;
  EXPECT_FALSE(assets::CompileScore("track 0\n[ [ C4 D4 ]1000 ]1000\n", &score, &error));
  // Within the limits, repeats still work, and 4096 events on a track are the most.
  EXPECT_TRUE(assets::CompileScore("track 0\n[ C4/1 ]4096\n", &score, &error)) << error;
  EXPECT_FALSE(assets::CompileScore("track 0\n[ C4/1 ]4097\n", &score, &error));
}

TEST(ScoreCompilerTest, ValuesTheFormatCannotHoldAreRefusedWithTheirLine) {
  const struct {
    const char* score;
    int line;
  } refused[] = {
      {"track 0 wave 100\n", 1},
      {"track 9 drum 28\n", 1},
      {"track 0\np13 C4\n", 2},
      {"track 0\nv255 C4\n", 2},
      {"track 8\nk96 x\n", 2},
      {"track 0 finetune 70000\n", 1},
      {"track 0 finetune -1\n", 1},
      {"track 0\n@-1 C4\n", 2},
      {"meter 0 4\n", 1},
      {"meter 4 0\n", 1},
      {"loop 16 8\ntrack 0\nC4\n", 1},
      {"track 0\nC4/0\n", 2},
      {"track 9\nx/0\n", 2},
      {"track 0\nl0 C4\n", 2},
  };
  for (const auto& r : refused) {
    assets::CompiledScore score;
    std::string error;
    EXPECT_FALSE(assets::CompileScore(r.score, &score, &error)) << r.score;
    EXPECT_EQ(error.substr(0, 7), "line " + std::to_string(r.line) + ":") << r.score << error;
  }
  // The largest values it can hold are taken.
  assets::CompiledScore score;
  std::string error;
  EXPECT_TRUE(assets::CompileScore(
      "track 0 wave 99 finetune 65535\nv254 p12 C4\ntrack 15 drum 27\nk95 x\n", &score, &error))
      << error;
}

TEST(ScoreCompilerTest, AUtf8ByteOrderMarkIsSkipped) {
  assets::CompiledScore score;
  std::string error;
  EXPECT_TRUE(assets::CompileScore("\xEF\xBB\xBFwait 50\ntrack 0\nC4\n", &score, &error)) << error;
  EXPECT_EQ(score.song.wait, 50);
}

// The voiced-sound marks are drawn 8 pixels up and 2 to the right of their kana (the layout's
// rule); in the sheet their ink must sit where that puts it against the kana: on the top-right
// corner of the kana's cell (its lowest row right above the cell, across the cell's right edge),
// above and to the right of the kana's own ink.
TEST(DemoDataTest, AVoicedKanasMarkTouchesItsKana) {
  std::string error;
  const std::vector<uint32_t> sheet = assets::MakeFontSheet(assets::kMisakiGothic, &error);
  ASSERT_FALSE(sheet.empty()) << error;
  auto ink = [&](int cell, int dx, int dy) {
    std::vector<std::pair<int, int>> points;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        if (sheet[static_cast<size_t>(cell / 26 * 8 + y) * 208 + cell % 26 * 8 + x])
          points.emplace_back(x + dx, y + dy);
    return points;
  };
  // The kana that take ゛ (cell 10): か-こ さ-そ た-と は-ほ, カ-コ サ-ソ タ-ト ハ-ホ and ウ; those
  // that take ゜ (cell 11): は-ほ and ハ-ホ.
  std::vector<std::pair<int, int>> pairs;
  for (int first : {57, 62, 67, 78, 135, 140, 145, 156})
    for (int k = 0; k < 5; ++k) pairs.emplace_back(10, first + k);
  pairs.emplace_back(10, 132);
  for (int first : {78, 156})
    for (int k = 0; k < 5; ++k) pairs.emplace_back(11, first + k);
  for (const auto& [mark_cell, kana_cell] : pairs) {
    const auto mark = ink(mark_cell, 2, -8);
    const auto kana = ink(kana_cell, 0, 0);
    ASSERT_FALSE(mark.empty());
    ASSERT_FALSE(kana.empty());
    int kana_right = 0;
    int kana_top = 8;
    for (const auto& [x, y] : kana) {
      kana_right = std::max(kana_right, x);
      kana_top = std::min(kana_top, y);
    }
    int lowest = -99;
    bool on_the_corner = false;
    for (const auto& [mx, my] : mark) {
      EXPECT_LT(my, kana_top) << "the mark stays above kana cell " << kana_cell;
      EXPECT_GE(mx, kana_right - 3) << "the mark sits at the right of kana cell " << kana_cell;
      lowest = std::max(lowest, my);
      on_the_corner = on_the_corner || mx == 7 || mx == 8;
    }
    EXPECT_EQ(lowest, -1) << "mark " << mark_cell << ", kana " << kana_cell;
    EXPECT_TRUE(on_the_corner) << "mark " << mark_cell << ", kana " << kana_cell;
  }
}

}  // namespace
