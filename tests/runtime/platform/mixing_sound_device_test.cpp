#include "runtime/platform/mixing_sound_device.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "runtime/platform/offline_audio_output.h"

namespace {

using platform::MixingSoundDevice;
using platform::OfflineAudioOutput;
using platform::SoundBuffer;
using platform::SoundBufferDesc;

SoundBufferDesc Desc(int channels, int bits, uint32_t rate, uint32_t length) {
  SoundBufferDesc desc;
  desc.flags = platform::kBufferStatic | platform::kBufferControlFrequency |
               platform::kBufferControlPan | platform::kBufferControlVolume |
               platform::kBufferGlobalFocus;
  desc.length_bytes = length;
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  desc.format = {platform::kWaveFormatPcm,
                 static_cast<uint16_t>(channels),
                 rate,
                 rate * align,
                 align,
                 static_cast<uint16_t>(bits),
                 0};
  return desc;
}

class MixingSoundDeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::OfflineOutputOptions options;
    options.caps.max_secondary_rate = 8000;
    auto output = std::make_unique<OfflineAudioOutput>(options);
    output_ = output.get();
    device_ = MixingSoundDevice::Create(std::move(output));
    ASSERT_TRUE(device_);
    ASSERT_TRUE(device_->CreatePrimaryBuffer());
  }

  std::vector<int16_t> Render(int frames) {
    std::vector<int16_t> out(2 * static_cast<size_t>(frames));
    output_->Render(out.data(), frames);
    return out;
  }

  // Fills an 8-bit mono buffer with `bytes`.
  static void Fill(SoundBuffer* buffer, const std::vector<uint8_t>& bytes) {
    void* r1 = nullptr;
    void* r2 = nullptr;
    uint32_t n1 = 0;
    uint32_t n2 = 0;
    ASSERT_TRUE(buffer->Lock(0, static_cast<uint32_t>(bytes.size()), &r1, &n1, &r2, &n2));
    std::memcpy(r1, bytes.data(), n1);
    buffer->Unlock(r1, n1, r2, n2);
  }

  OfflineAudioOutput* output_ = nullptr;
  std::unique_ptr<MixingSoundDevice> device_;
};

TEST_F(MixingSoundDeviceTest, RefusesEveryDescriptionOutsideTheContract) {
  EXPECT_EQ(device_->CreateSoundBuffer(Desc(1, 8, 22050, 0)), nullptr);    // empty
  EXPECT_EQ(device_->CreateSoundBuffer(Desc(2, 16, 22050, 3)), nullptr);   // under one frame
  EXPECT_EQ(device_->CreateSoundBuffer(Desc(3, 8, 22050, 64)), nullptr);   // channels
  EXPECT_EQ(device_->CreateSoundBuffer(Desc(1, 24, 22050, 64)), nullptr);  // sample size
  EXPECT_EQ(device_->CreateSoundBuffer(Desc(1, 8, 0, 64)), nullptr);       // rate too low
  EXPECT_EQ(device_->CreateSoundBuffer(Desc(1, 8, 200001, 64)), nullptr);  // rate too high
  SoundBufferDesc not_pcm = Desc(1, 8, 22050, 64);
  not_pcm.format.format_tag = 2;
  EXPECT_EQ(device_->CreateSoundBuffer(not_pcm), nullptr);
  SoundBufferDesc bad_align = Desc(2, 16, 22050, 64);
  bad_align.format.block_align = 2;
  EXPECT_EQ(device_->CreateSoundBuffer(bad_align), nullptr);
  SoundBufferDesc primary = Desc(1, 8, 22050, 64);
  primary.flags |= platform::kBufferPrimary;
  EXPECT_EQ(device_->CreateSoundBuffer(primary), nullptr);
  EXPECT_EQ(device_->LiveBufferCount(), 0);

  SoundBuffer* smallest = device_->CreateSoundBuffer(Desc(2, 16, 1, 4));
  ASSERT_NE(smallest, nullptr);
  smallest->Release();
  SoundBuffer* fastest = device_->CreateSoundBuffer(Desc(1, 8, 200000, 1));
  ASSERT_NE(fastest, nullptr);
  fastest->Release();
  EXPECT_EQ(device_->LiveBufferCount(), 0);
}

TEST_F(MixingSoundDeviceTest, ANewBufferIsSilentStoppedAndAtItsStart) {
  SoundBuffer* buffer = device_->CreateSoundBuffer(Desc(1, 8, 8000, 16));
  ASSERT_NE(buffer, nullptr);
  bool playing = true;
  uint32_t position = 99;
  ASSERT_TRUE(buffer->GetStatus(&playing, nullptr));
  ASSERT_TRUE(buffer->GetCurrentPosition(&position));
  EXPECT_FALSE(playing);
  EXPECT_EQ(position, 0u);
  buffer->Play(platform::kPlayLooping);
  EXPECT_EQ(Render(4), std::vector<int16_t>(8, 0));
  buffer->Release();
}

TEST_F(MixingSoundDeviceTest, LockGivesTwoRegionsWhenTheRangeWraps) {
  SoundBuffer* buffer = device_->CreateSoundBuffer(Desc(1, 8, 8000, 8));
  ASSERT_NE(buffer, nullptr);
  void* r1 = nullptr;
  void* r2 = nullptr;
  uint32_t n1 = 0;
  uint32_t n2 = 0;
  ASSERT_TRUE(buffer->Lock(6, 5, &r1, &n1, &r2, &n2));
  EXPECT_EQ(n1, 2u);
  EXPECT_EQ(n2, 3u);
  ASSERT_NE(r2, nullptr);
  EXPECT_FALSE(buffer->Lock(0, 8, &r1, &n1, &r2, &n2));  // already locked
  std::memset(r1, 0xC0, n1);                             // frames 6, 7
  std::memset(r2, 0x40, n2);                             // frames 0, 1, 2
  EXPECT_TRUE(buffer->Unlock(r1, n1, r2, n2));
  EXPECT_FALSE(buffer->Unlock(r1, n1, r2, n2));  // not locked any more
  buffer->Play(platform::kPlayLooping);
  const std::vector<int16_t> out = Render(8);
  const int16_t expected[8] = {-16384, -16384, -16384, 0, 0, 0, 16384, 16384};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[2 * i], expected[i]) << i;
  // Out-of-range locks are refused.
  EXPECT_FALSE(buffer->Lock(8, 1, &r1, &n1, &r2, &n2));
  EXPECT_FALSE(buffer->Lock(0, 9, &r1, &n1, &r2, &n2));
  EXPECT_FALSE(buffer->Lock(0, 0, &r1, &n1, &r2, &n2));
  buffer->Release();
}

TEST_F(MixingSoundDeviceTest, RefusedControlValuesLeaveTheOldSetting) {
  SoundBuffer* buffer = device_->CreateSoundBuffer(Desc(1, 8, 8000, 64));
  ASSERT_NE(buffer, nullptr);
  Fill(buffer, std::vector<uint8_t>(64, 0xC0));
  EXPECT_TRUE(buffer->SetFrequency(4000));
  EXPECT_FALSE(buffer->SetFrequency(99));
  EXPECT_FALSE(buffer->SetFrequency(200001));
  EXPECT_TRUE(buffer->SetVolume(-600));
  EXPECT_FALSE(buffer->SetVolume(1));
  EXPECT_FALSE(buffer->SetVolume(-10001));
  EXPECT_FALSE(buffer->SetPan(10001));
  EXPECT_FALSE(buffer->SetPan(-10001));
  EXPECT_FALSE(buffer->SetCurrentPosition(64));
  buffer->Play(platform::kPlayLooping);
  Render(10);
  uint32_t position = 0;
  ASSERT_TRUE(buffer->GetCurrentPosition(&position));
  EXPECT_EQ(position, 5u);  // still at half the output rate
  const std::vector<int16_t> out = Render(1);
  EXPECT_EQ(out[0], out[1]);                                   // still centred
  EXPECT_NEAR(20 * std::log10(out[0] / 16384.0), -6.0, 0.01);  // still -6 dB
  buffer->Release();
}

TEST_F(MixingSoundDeviceTest, SixteenBitStereoKeepsItsChannelsApart) {
  SoundBuffer* buffer = device_->CreateSoundBuffer(Desc(2, 16, 8000, 8));
  ASSERT_NE(buffer, nullptr);
  void* r1 = nullptr;
  uint32_t n1 = 0;
  ASSERT_TRUE(buffer->Lock(0, 8, &r1, &n1, nullptr, nullptr));
  const int16_t frames[4] = {1000, -1000, 2000, -2000};
  std::memcpy(r1, frames, sizeof frames);
  buffer->Unlock(r1, n1, nullptr, 0);
  buffer->Play(0);
  EXPECT_EQ(Render(3), (std::vector<int16_t>{1000, -1000, 2000, -2000, 0, 0}));
  buffer->Release();
}

// A buffer given its samples in the mixer's own form sounds as one written the same sound
// through Lock, keeps no bytes to lock, and refuses samples of another length; a twin sharing
// its samples sounds the same again.
TEST_F(MixingSoundDeviceTest, SamplesInTheMixersFormSoundAsTheSameBytesThroughLock) {
  std::vector<uint8_t> bytes(64);
  std::vector<int8_t> values(64);
  for (size_t i = 0; i < bytes.size(); ++i) {
    values[i] = static_cast<int8_t>((i * 53) % 256 - 128);
    bytes[i] = static_cast<uint8_t>(values[i] ^ 0x80);
  }
  SoundBuffer* locked = device_->CreateSoundBuffer(Desc(1, 8, 8000, 64));
  SoundBuffer* given = device_->CreateSoundBuffer(Desc(1, 8, 8000, 64));
  SoundBuffer* twin = device_->CreateSoundBuffer(Desc(1, 8, 8000, 64));
  ASSERT_TRUE(locked && given && twin);
  Fill(locked, bytes);
  EXPECT_FALSE(device_->SetMixerSamples(given, platform::MonoFromSigned8(values.data(), 63)));
  ASSERT_TRUE(device_->SetMixerSamples(given, platform::MonoFromSigned8(values.data(), 64)));
  ASSERT_TRUE(device_->ShareSamples(twin, given));
  void* region1 = nullptr;
  uint32_t bytes1 = 0;
  EXPECT_FALSE(given->Lock(0, 64, &region1, &bytes1, nullptr, nullptr));
  std::vector<std::vector<int16_t>> heard;
  for (SoundBuffer* buffer : {locked, given, twin}) {
    ASSERT_TRUE(buffer->Play(platform::kPlayLooping));
    heard.push_back(Render(300));
    ASSERT_TRUE(buffer->Stop());
    ASSERT_TRUE(buffer->SetCurrentPosition(0));
  }
  EXPECT_NE(heard[0], std::vector<int16_t>(600, 0));
  EXPECT_EQ(heard[1], heard[0]);
  EXPECT_EQ(heard[2], heard[0]);
  for (SoundBuffer* buffer : {twin, given, locked}) buffer->Release();
}

TEST(MixingSoundDeviceCreateTest, NoDeviceMeansNoObject) {
  platform::OfflineOutputOptions options;
  options.device_present = false;
  EXPECT_EQ(MixingSoundDevice::Create(std::make_unique<OfflineAudioOutput>(options)), nullptr);
  EXPECT_EQ(MixingSoundDevice::Create(nullptr), nullptr);
}

}  // namespace
