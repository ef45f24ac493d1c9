// The game's drum files: read by data path for the game's loader, with its two message boxes
// when a file cannot be opened and its ORG_ERROR.TXT lines for what the device refused.
#include "game_music/drum_voice.h"

#include <gtest/gtest.h>

#include "game_music/engine_fixture.h"
#include "game_music/game_engine.h"
#include "runtime/platform/text_encoding.h"

namespace {

class DrumVoiceTest : public test_support::EngineFixture {};

TEST_F(DrumVoiceTest, AMissingFileShowsTwoNotices) {
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(org::ReadDrumFile("Org\\Nope.wav", &bytes));
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].first, platform::Utf8ToCp932("ファイルハンドル取得失敗"));
  EXPECT_EQ(notices[1].first, "Org\\Nope.wav");
  EXPECT_EQ(notices[1].second, "Error (Load)");
}

TEST_F(DrumVoiceTest, AFileThatIsThereIsReadWithoutANotice) {
  WriteDrum("Org/Snare01.wav", {1, 2, 3});
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(org::ReadDrumFile("Org\\Snare01.wav", &bytes));
  EXPECT_EQ(bytes.size(), 58u + 3u);
  EXPECT_TRUE(notices.empty());
}

TEST_F(DrumVoiceTest, RefusedBuffersOfDrumsThatWereReadAreReportedInTheErrorLog) {
  org::ReportDrumLoad(org::DrumLoadResult::kCreateFailed, true);
  org::ReportDrumLoad(org::DrumLoadResult::kCreateFailed, false);  // not read: said elsewhere
  org::ReportDrumLoad(org::DrumLoadResult::kNotWav, true);         // refused silently
  org::ReportDrumLoad(org::DrumLoadResult::kLoaded, true);
  org::ReportDrumLoad(org::DrumLoadResult::kLockFailed, true);
  EXPECT_EQ(
      test_support::ReadWholeFile(dir.Join("ORG_ERROR.TXT")),
      platform::Utf8ToCp932("CreateSoundBufferに失敗した。\nSoundBufferのLockに失敗した。\n"));
}

TEST_F(DrumVoiceTest, TheFreeFunctionsPlayTheFaceEnginesSlots) {
  WriteDrum("Org/Bass01.wav", std::vector<uint8_t>(64, 0x90));
  const std::string file = test_support::ReadWholeFile(dir.Join("Org/Bass01.wav"));
  ASSERT_EQ(
      org::GameEngine().drums().Load(reinterpret_cast<const uint8_t*>(file.data()), file.size(), 0),
      org::DrumLoadResult::kLoaded);
  device.ClearCalls();
  org::PlayDrum(0, 10);
  org::SetDrumPan(0, 12);
  org::SetDrumVolume(0, 0);
  EXPECT_EQ(device.Calls("play").size(), 1u);
  EXPECT_EQ(device.buffers[0].pan, 2560);
  EXPECT_EQ(device.buffers[0].volume, -2040);
  org::ReleaseDrumVoice(0);
  EXPECT_FALSE(org::GameEngine().drums().has_voice(0));
}

}  // namespace
