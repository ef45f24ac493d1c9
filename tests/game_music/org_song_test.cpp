#include "game_music/org_song.h"

#include <gtest/gtest.h>

#include <functional>

#include "game_music/engine_fixture.h"
#include "game_music/melody_voice.h"
#include "game_music/sequencer.h"
#include "runtime/platform/text_encoding.h"

namespace {

using org::GetOrgSong;
using org::LoadOrgSong;
using org::OrgEvent;
using org::ParsedSong;

class OrgSongTest : public test_support::EngineFixture {};

ParsedSong SongWithNotes(int version) {
  ParsedSong song = test_support::EngineFixture::EmptySong();
  song.version = version;
  song.wait = 90;
  song.loop_start = 8;
  song.loop_end = 120;
  song.tracks[0].wave = 5;
  song.tracks[0].one_shot = 1;
  song.tracks[0].finetune = 1010;
  song.tracks[0].events = {{0, 36, 4, 200, 6}, {8, 255, 0, 100, 255}, {16, 40, 2, 255, 3}};
  song.tracks[9].wave = 2;
  song.tracks[9].events = {{4, 48, 1, 180, 12}};
  return song;
}

TEST_F(OrgSongTest, ALoadedSongHasItsHeaderAndEventsInFileOrder) {
  ASSERT_TRUE(LoadOrgSong(WriteSong("song.org", SongWithNotes(2)).c_str()));
  const ParsedSong& song = GetOrgSong();
  EXPECT_EQ(song.wait, 90);
  EXPECT_EQ(song.loop_start, 8);
  EXPECT_EQ(song.loop_end, 120);
  const ParsedSong::Track& track = song.tracks[0];
  EXPECT_EQ(track.wave, 5);
  EXPECT_EQ(track.one_shot, 1);
  EXPECT_EQ(track.finetune, 1010);
  ASSERT_EQ(track.events.size(), 3u);
  EXPECT_EQ(track.events[0].position, 0);
  EXPECT_EQ(track.events[1].position, 8);
  EXPECT_EQ(track.events[1].key, 255);
  EXPECT_EQ(track.events[1].volume, 100);
  EXPECT_EQ(track.events[2].pan, 3);
  EXPECT_TRUE(song.tracks[1].events.empty());
  EXPECT_EQ(song.tracks[9].events[0].key, 48);
  // The sequencer was rewound: every cursor at its first event.
  EXPECT_EQ(org::GetSequencerState().cursor[0], 0);
  EXPECT_EQ(org::GetSequencerState().cursor[9], 0);
  EXPECT_EQ(org::GetSequencerState().play_step, 0);
}

TEST_F(OrgSongTest, TheFirstVersionHasNoOneShotTracksAndTheLaterTwoReadAlike) {
  ASSERT_TRUE(LoadOrgSong(WriteSong("v1.org", SongWithNotes(1)).c_str()));
  EXPECT_EQ(GetOrgSong().tracks[0].one_shot, 0);
  ParsedSong v2;
  ParsedSong v3;
  const std::vector<uint8_t> b2 = org::SerializeOrgSong(SongWithNotes(2));
  const std::vector<uint8_t> b3 = org::SerializeOrgSong(SongWithNotes(3));
  ASSERT_EQ(org::ParseOrgSong(b2.data(), b2.size(), &v2), org::ParseResult::kOk);
  ASSERT_EQ(org::ParseOrgSong(b3.data(), b3.size(), &v3), org::ParseResult::kOk);
  EXPECT_EQ(org::SerializeOrgSong(v2).size(), b2.size());
  EXPECT_EQ(v2.tracks[0].one_shot, v3.tracks[0].one_shot);
  EXPECT_EQ(v2.tracks[0].events.size(), v3.tracks[0].events.size());
  EXPECT_EQ(org::SerializeOrgSong(v3), b3);  // parse and write are each other's inverse
}

TEST_F(OrgSongTest, EmptyTracksStillGetTheirVoicesAndDrums) {
  WriteDrum("Org/Bass01.wav", std::vector<uint8_t>(100, 0x90));
  ASSERT_TRUE(LoadOrgSong(WriteSong("empty.org", EmptySong()).c_str()));
  // 8 melody tracks × 16 buffers, and 8 drum slots of Bass01.
  EXPECT_EQ(device.Calls("create").size(), 8u * 16u + 8u);
}

struct RefusedFile {
  const char* name;
  std::string bytes;
  const char* notice;
};

class OrgSongRefusalTest : public OrgSongTest, public testing::WithParamInterface<RefusedFile> {};

std::string Damaged(const std::function<void(std::vector<uint8_t>&)>& damage) {
  std::vector<uint8_t> bytes = org::SerializeOrgSong(SongWithNotes(2));
  damage(bytes);
  return std::string(bytes.begin(), bytes.end());
}

TEST_P(OrgSongRefusalTest, TheLoadedSongStaysIntactAndPlayable) {
  ASSERT_TRUE(LoadOrgSong(WriteSong("good.org", SongWithNotes(2)).c_str()));
  dir.WriteFile("bad.org", GetParam().bytes);
  notices.clear();
  EXPECT_FALSE(LoadOrgSong(GetParam().name[0] == 'm' ? "missing.org" : "bad.org"));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].first, platform::Utf8ToCp932(GetParam().notice));
  EXPECT_EQ(notices[0].second, "Error (Load)");
  EXPECT_EQ(GetOrgSong().wait, 90);
  ASSERT_EQ(GetOrgSong().tracks[0].events.size(), 3u);
  EXPECT_EQ(GetOrgSong().tracks[0].events[2].key, 40);
}

std::string Truncated(size_t keep) {
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(SongWithNotes(2));
  return std::string(bytes.begin(), bytes.begin() + static_cast<long>(keep));
}

INSTANTIATE_TEST_SUITE_P(
    Files, OrgSongRefusalTest,
    testing::Values(
        RefusedFile{"missing", "", "ファイルにアクセスできません"},
        RefusedFile{"other_magic", Damaged([](auto& b) { b[5] = '4'; }),
                    "このファイルは使えません"},
        RefusedFile{"too_short_for_magic", "Org-0", "このファイルは使えません"},
        RefusedFile{"header_cut", Truncated(60), "このファイルは使えません"},
        RefusedFile{"arrays_cut", Truncated(130), "このファイルは使えません"},
        RefusedFile{"last_pan_cut", Truncated(114 + 3 * 8 + 8 - 1), "このファイルは使えません"},
        // Track 3's note_count (offset 18 + 3 * 6 + 4) set to 4097: more than a track holds.
        RefusedFile{"count_above_4096", Damaged([](auto& b) {
                      b[18 + 3 * 6 + 4] = 0x01;
                      b[18 + 3 * 6 + 5] = 0x10;
                    }),
                    "このファイルは使えません"}),
    [](const testing::TestParamInfo<RefusedFile>& info) { return std::string(info.param.name); });

TEST_F(OrgSongTest, DrumPathsFollowTheSongsFolder) {
  EXPECT_EQ(org::DrumPathForSong("Title.org", 0), "Org\\Bass01.wav");
  EXPECT_EQ(org::DrumPathForSong("Org\\Title.org", 2), "Org\\Org\\Snare01.wav");
  EXPECT_EQ(org::DrumPathForSong(".\\Title.org", 2), ".\\Org\\Snare01.wav");
  EXPECT_EQ(org::DrumPathForSong("a\\b\\c.org", 27), "a\\b\\Org\\Cat.wav");
  EXPECT_EQ(org::DrumPathForSong("a\\c.org", 28), "");
  // "ソ" ends in the backslash byte; it is not the end of a folder.
  const std::string sjis_song = platform::Utf8ToCp932("曲\\ソ.org");
  EXPECT_EQ(org::DrumPathForSong(sjis_song, 0), platform::Utf8ToCp932("曲\\") + "Org\\Bass01.wav");
}

TEST_F(OrgSongTest, ADrumNumberOutsideTheTableLeavesThatSlotWithoutADrum) {
  WriteDrum("Org/Bass01.wav", std::vector<uint8_t>(100, 0x90));
  ParsedSong song = EmptySong();
  song.tracks[8].wave = 28;
  song.tracks[9].wave = 255;
  ASSERT_TRUE(LoadOrgSong(WriteSong("song.org", song).c_str()));
  EXPECT_TRUE(notices.empty());
  EXPECT_EQ(device.Calls("create").size(), 8u * 16u + 6u);
}

}  // namespace
