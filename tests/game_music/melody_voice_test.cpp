// The game's melody voices: the waveform bank read by data path into the face's engine, and the
// face's note functions reaching that engine's voices.
#include "game_music/melody_voice.h"

#include <gtest/gtest.h>

#include "game_music/engine_fixture.h"
#include "game_music/game_engine.h"

namespace {

class MelodyVoiceTest : public test_support::EngineFixture {};

// A bank file shorter than 25600 bytes replaces only the samples it holds. An empty file (found
// by fuzzing) used to hand memcpy a null source; it now changes nothing.
TEST_F(MelodyVoiceTest, AShortBankReplacesOnlyWhatItHoldsAndAnEmptyOneNothing) {
  dir.WriteFile("short.dat", std::string(300, '\x7F'));
  ASSERT_TRUE(org::LoadWaveBank("short.dat"));
  EXPECT_EQ(org::WaveBankSample(0, 0), 0x7F);
  EXPECT_EQ(org::WaveBankSample(1, 43), 0x7F);    // byte 299
  EXPECT_EQ(org::WaveBankSample(1, 44), 1 + 44);  // byte 300: the old bank
  dir.WriteFile("empty.dat", "");
  ASSERT_TRUE(org::LoadWaveBank("empty.dat"));
  EXPECT_EQ(org::WaveBankSample(0, 0), 0x7F);
  EXPECT_EQ(org::WaveBankSample(99, 255), static_cast<int8_t>((255 + 99) & 0xFF));
}

TEST_F(MelodyVoiceTest, TheFreeFunctionsPlayTheFaceEnginesVoices) {
  ASSERT_TRUE(org::MakeMelodyVoice(0, 0, 0));
  EXPECT_EQ(device.LiveBuffers(), 16);
  org::StartNote(0, 36, 1000);
  EXPECT_EQ(org::MelodyCurrentKey(0), 36);
  EXPECT_EQ(org::GameEngine().melody().current_key(0), 36);
  org::EndNote(0);
  EXPECT_EQ(org::MelodyCurrentKey(0), 255);
  org::ReleaseMelodyVoice(0);
  EXPECT_EQ(device.LiveBuffers(), 0);
}

}  // namespace
