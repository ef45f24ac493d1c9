#include "game_music/drum_voice.h"

#include <gtest/gtest.h>

#include "game_music/engine_fixture.h"
#include "runtime/platform/text_encoding.h"

namespace {

class DrumVoiceTest : public test_support::EngineFixture {};

TEST_F(DrumVoiceTest, ADrumFileBecomesOneBufferOfItsSamples) {
  WriteDrum("Org/Snare01.wav", {1, 2, 3, 4, 5}, 11025);
  ASSERT_TRUE(org::LoadDrumVoice("Org\\Snare01.wav", 2));
  ASSERT_EQ(device.buffers.size(), 1u);
  EXPECT_EQ(device.buffers[0].desc.format.samples_per_sec, 11025u);
  EXPECT_EQ(device.buffers[0].content, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  EXPECT_TRUE(org::HasDrumVoice(2));
}

TEST_F(DrumVoiceTest, PlayingRestartsTheSampleAtTheKeysRate) {
  WriteDrum("Org/Bass01.wav", std::vector<uint8_t>(64, 0x90));
  ASSERT_TRUE(org::LoadDrumVoice("Org\\Bass01.wav", 0));
  device.ClearCalls();
  org::PlayDrum(0, 0);
  org::PlayDrum(0, 95);
  org::PlayDrum(0, 48);
  const auto calls = device.Calls();
  ASSERT_EQ(calls.size(), 12u);
  EXPECT_EQ(calls[0].what, "stop");
  EXPECT_EQ(calls[1].what, "position");
  EXPECT_EQ(calls[1].value, 0);
  EXPECT_EQ(calls[2].value, 100);
  EXPECT_EQ(calls[3].what, "play");
  EXPECT_EQ(calls[3].value, 0);
  EXPECT_EQ(calls[6].value, 76100);
  EXPECT_EQ(calls[10].value, 38500);
  org::SetDrumPan(0, 12);
  org::SetDrumPan(0, 13);  // outside the table: ignored
  org::SetDrumVolume(0, 0);
  EXPECT_EQ(device.buffers[0].pan, 2560);
  EXPECT_EQ(device.buffers[0].volume, -2040);
  org::PlayDrum(5, 10);  // an empty slot: nothing
  EXPECT_EQ(device.Calls().size(), 12u + 2u);
}

TEST_F(DrumVoiceTest, AMissingFileShowsTwoNoticesAndLeavesTheSlotEmpty) {
  EXPECT_FALSE(org::LoadDrumVoice("Org\\Nope.wav", 1));
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].first, platform::Utf8ToCp932("ファイルハンドル取得失敗"));
  EXPECT_EQ(notices[1].first, "Org\\Nope.wav");
  EXPECT_EQ(notices[1].second, "Error (Load)");
  EXPECT_FALSE(org::HasDrumVoice(1));
}

TEST_F(DrumVoiceTest, AFileThatIsNotRiffIsRefusedSilently) {
  WriteDrum("Org/Bass01.wav", std::vector<uint8_t>(64, 0x90));
  std::string bytes = test_support::ReadWholeFile(dir.Join("Org/Bass01.wav"));
  bytes[3] = 'X';  // RIFX
  dir.WriteFile("Org/Rifx.wav", bytes);
  dir.WriteFile("Org/Tiny.wav", "RIFF");
  EXPECT_FALSE(org::LoadDrumVoice("Org\\Rifx.wav", 0));
  EXPECT_FALSE(org::LoadDrumVoice("Org\\Tiny.wav", 0));
  EXPECT_TRUE(notices.empty());
  EXPECT_TRUE(device.Calls("create").empty());
}

TEST_F(DrumVoiceTest, AFileShorterThanItsDeclaredDataGivesWhatItHolds) {
  // Regression: the declared length was copied from past the end of the file.
  WriteDrum("Org/Short.wav", {10, 20, 30}, 22050, 1000000);
  ASSERT_TRUE(org::LoadDrumVoice("Org\\Short.wav", 0));
  EXPECT_EQ(device.buffers[0].content, (std::vector<uint8_t>{10, 20, 30}));
}

TEST_F(DrumVoiceTest, RefusedBuffersAreReportedInTheErrorLog) {
  WriteDrum("Org/Bass01.wav", std::vector<uint8_t>(64, 0x90));
  device.creates_before_failure = 0;
  EXPECT_FALSE(org::LoadDrumVoice("Org\\Bass01.wav", 0));
  EXPECT_FALSE(org::LoadDrumVoice("Org\\Bass01.wav", 1));
  const std::string line = platform::Utf8ToCp932("CreateSoundBufferに失敗した。\n");
  EXPECT_EQ(test_support::ReadWholeFile(dir.Join("ORG_ERROR.TXT")), line + line);
  device.creates_before_failure = -1;
  device.fail_lock = true;
  EXPECT_FALSE(org::LoadDrumVoice("Org\\Bass01.wav", 2));
  EXPECT_TRUE(org::HasDrumVoice(2));  // the unfilled buffer stays
  EXPECT_EQ(test_support::ReadWholeFile(dir.Join("ORG_ERROR.TXT")),
            line + line + platform::Utf8ToCp932("SoundBufferのLockに失敗した。\n"));
}

TEST_F(DrumVoiceTest, AnEmptyDataChunkIsAFailedCreate) {
  WriteDrum("Org/Empty.wav", {});
  EXPECT_FALSE(org::LoadDrumVoice("Org\\Empty.wav", 0));
  EXPECT_FALSE(org::HasDrumVoice(0));
}

TEST_F(DrumVoiceTest, TheFolderOverrideReplacesTheSongsFolder) {
  org::SetDrumFolderOverride("kit");
  EXPECT_EQ(org::DrumPathForSong("Org\\Title.org", 7), "kit\\Crash.wav");
  org::SetDrumFolderOverride("");
  EXPECT_EQ(org::DrumPathForSong("Org\\Title.org", 7), "Org\\Org\\Crash.wav");
}

}  // namespace
