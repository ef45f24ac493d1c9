#include "runtime/sound/sound_device.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/core/app_log.h"
#include "runtime/core/runtime_state.h"
#include "runtime/platform/offline_audio_output.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/text_encoding.h"
#include "test_support/scratch_directory.h"

namespace {

using platform::OfflineAudioOutput;
using platform::OfflineOutputOptions;
using test_support::ReadWholeFile;
using test_support::ScratchDirectory;

uint32_t ZeroClock() { return 0; }

// Runs each test with the log on in a scratch directory and an offline output whose pretended
// capabilities the test chooses.
class SoundDeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    runtime::ResetSoundDevice();
    runtime::ResetAppLog();
    runtime::ResetRuntimeState();
    platform::SetClockMsSourceForTesting(&ZeroClock);
    runtime::GetRuntimeState().StartupDirectory = dir_.path();
    test_support::CurrentDirectoryScope here(dir_.path());
    runtime::PrepareAppLog();
    UseOutput(OfflineOutputOptions{});
  }
  void TearDown() override {
    runtime::ResetSoundDevice();
    platform::SetClockMsSourceForTesting(nullptr);
    runtime::ResetAppLog();
    runtime::ResetRuntimeState();
  }
  void UseOutput(OfflineOutputOptions options) {
    runtime::SetAudioOutputFactory([this, options] {
      auto output = std::make_unique<OfflineAudioOutput>(options);
      output_ = output.get();
      return output;
    });
  }
  std::string Log() const { return ReadWholeFile(dir_.Join("AppLog.txt")); }

  ScratchDirectory dir_;
  OfflineAudioOutput* output_ = nullptr;
};

std::string Sjis(const char* utf8) { return platform::Utf8ToCp932(utf8); }

TEST_F(SoundDeviceTest, OpeningLogsEveryStepAndTheDeviceReport) {
  ASSERT_EQ(runtime::OpenSoundDevice(), 0);
  const std::string expected =
      Sjis("0:DirectSound の初期化を行います\n") + Sjis("0:\tDirectSound デバイスを列挙します\n") +
      Sjis("0:\t\tモジュール名:        offline  ドライバ記述:Offline renderer \n") +
      Sjis("0:\t最大サンプリングレート:44.10KHz 最小サンプリングレート:0.10KHz \n") +
      Sjis("0:\t総サウンドメモリ領域:0.00KB 空きサウンドメモリ領域:0.00KB \n\n") +
      Sjis("0:\t利用可能サンプリング精度\n") + Sjis("0:\t プライマリ １６bit = OK  ８bit = OK \n") +
      Sjis("0:\t セカンダリ １６bit = OK  ８bit = OK \n\n") + Sjis("0:\t利用可能チャンネル\n") +
      Sjis("0:\t プライマリ MONO = OK  STEREO = OK \n") +
      Sjis("0:\t セカンダリ MONO = OK  STEREO = OK \n\n") +
      Sjis("0:DirectSound の初期化は正常に終了しました\n");
  EXPECT_EQ(Log(), expected);
  EXPECT_NE(runtime::GetSoundDevice(), nullptr);
  EXPECT_EQ(runtime::ServiceSoundStreams(), 0);
}

TEST_F(SoundDeviceTest, ThePrimaryFormatFollowsTheDeviceButNeverExceeds44100) {
  platform::AudioCaps caps;
  caps.max_secondary_rate = 48000;
  EXPECT_EQ(runtime::ChoosePrimaryFormat(caps).samples_per_sec, 44100u);
  caps.max_secondary_rate = 22050;
  platform::WaveFormat format = runtime::ChoosePrimaryFormat(caps);
  EXPECT_EQ(format.samples_per_sec, 22050u);
  EXPECT_EQ(format.channels, 2);
  EXPECT_EQ(format.bits_per_sample, 16);
  EXPECT_EQ(format.block_align, 4);
  EXPECT_EQ(format.avg_bytes_per_sec, 88200u);
  caps.primary_stereo = false;
  caps.primary_16bit = false;
  format = runtime::ChoosePrimaryFormat(caps);
  EXPECT_EQ(format.channels, 1);
  EXPECT_EQ(format.bits_per_sample, 8);
  EXPECT_EQ(format.block_align, 1);

  // And the opened stream runs in it.
  OfflineOutputOptions options;
  options.caps.max_secondary_rate = 48000;
  options.caps.primary_stereo = false;
  UseOutput(options);
  ASSERT_EQ(runtime::OpenSoundDevice(), 0);
  EXPECT_EQ(output_->CurrentFormat().rate, 44100);
  EXPECT_EQ(output_->CurrentFormat().channels, 1);
  EXPECT_EQ(runtime::GetMixingSoundDevice()->mixer().output_rate(), 44100);
}

TEST_F(SoundDeviceTest, TheSilentBufferLoopsFromOpeningToClosing) {
  ASSERT_EQ(runtime::OpenSoundDevice(), 0);
  platform::MixingSoundDevice* device = runtime::GetMixingSoundDevice();
  EXPECT_EQ(device->LiveBufferCount(), 1);
  EXPECT_EQ(device->mixer().ActiveVoiceCount(), 1);
  std::vector<int16_t> out(2 * 1000, 7);
  output_->Render(out.data(), 1000);
  EXPECT_EQ(out, std::vector<int16_t>(2000, 0));
  EXPECT_EQ(runtime::CloseSoundDevice(), 0);
  EXPECT_EQ(runtime::GetSoundDevice(), nullptr);
  EXPECT_EQ(runtime::ServiceSoundStreams(), -1);
  EXPECT_NE(Log().find(Sjis("0:DirectSound の終了処理は正常に終了しました\n")), std::string::npos);
}

TEST_F(SoundDeviceTest, OpeningTwiceAndClosingUnopenedFailQuietly) {
  EXPECT_EQ(runtime::CloseSoundDevice(), -1);
  EXPECT_EQ(Log(), "");
  ASSERT_EQ(runtime::OpenSoundDevice(), 0);
  const std::string after_first = Log();
  EXPECT_EQ(runtime::OpenSoundDevice(), -1);
  EXPECT_EQ(Log(), after_first);
  EXPECT_EQ(runtime::StopMidi(), 0);
  EXPECT_EQ(runtime::OnMidiNotify(), 0);
}

struct FailureCase {
  const char* name;
  bool device_missing;
  platform::SoundDeviceFaults faults;
  const char* logged;  // UTF-8
  int result;
  bool device_open;
};

// The message without a line feed leaves the line open: the report's heading continues it.
void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class SoundDeviceFailureTest : public SoundDeviceTest,
                               public testing::WithParamInterface<FailureCase> {};

TEST_P(SoundDeviceFailureTest, EachFailingStepLogsItsLineAndEndsAsItShould) {
  const FailureCase& c = GetParam();
  OfflineOutputOptions options;
  options.device_present = !c.device_missing;
  UseOutput(options);
  runtime::SetSoundDeviceFaultsForTesting(c.faults);
  EXPECT_EQ(runtime::OpenSoundDevice(), c.result);
  EXPECT_EQ(runtime::GetSoundDevice() != nullptr, c.device_open);
  const std::string log = Log();
  EXPECT_NE(log.find(Sjis(c.logged)), std::string::npos) << c.name;
  if (!c.device_open) {
    // Nothing after the failure: the log ends with it.
    EXPECT_EQ(log.substr(log.size() - Sjis(c.logged).size()), Sjis(c.logged));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SoundDeviceFailureTest,
    testing::Values(
        FailureCase{"no device", true, {}, "DirectSoundの初期化に失敗しました\n", -1, false},
        FailureCase{"cooperative level",
                    false,
                    {.cooperative_level = true},
                    "DirectSoundの協調レベルの設定に失敗しました\n",
                    -1,
                    false},
        FailureCase{"primary buffer",
                    false,
                    {.primary_buffer = true},
                    "DirectSoundのプライマリサウンドバッファの作成に失敗しました\n",
                    -1,
                    false},
        FailureCase{"primary format",
                    false,
                    {.primary_format = true},
                    "DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n",
                    0,
                    true},
        FailureCase{"silent buffer",
                    false,
                    {.create_buffer = true},
                    "0:無音バッファの作成に失敗しましたDirectSound デバイスを列挙します\n",
                    0,
                    true},
        FailureCase{"silent lock",
                    false,
                    {.lock_buffer = true},
                    "0:無音バッファのロックに失敗しましたDirectSound デバイスを列挙します\n",
                    0,
                    true}),
    [](const testing::TestParamInfo<FailureCase>& info) {
      std::string name = info.param.name;
      for (char& ch : name)
        if (ch == ' ') ch = '_';
      return name;
    });

TEST_F(SoundDeviceTest, WithoutASilentBufferTheDeviceStillWorks) {
  runtime::SetSoundDeviceFaultsForTesting({.lock_buffer = true});
  ASSERT_EQ(runtime::OpenSoundDevice(), 0);
  EXPECT_EQ(runtime::GetMixingSoundDevice()->LiveBufferCount(), 0);  // released again
  EXPECT_EQ(runtime::CloseSoundDevice(), 0);
}

}  // namespace
