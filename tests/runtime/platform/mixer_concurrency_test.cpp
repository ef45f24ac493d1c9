// Threads meeting in the sound device: control threads (standing in for the main thread and the
// sequencer's timer) call every buffer operation while an output thread mixes, first with a
// thread of our own pulling blocks, then with the real SDL audio thread on its dummy driver.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "runtime/platform/mixing_sound_device.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/sdl_audio_output.h"
#include "runtime/platform/stream_clock.h"
#include "test_support/threaded_test_output.h"

namespace {

using platform::MixingSoundDevice;
using platform::SoundBuffer;

using test_support::ThreadedTestOutput;

platform::SoundBufferDesc Desc8(uint32_t length) {
  platform::SoundBufferDesc desc;
  desc.flags = platform::kBufferStatic | platform::kBufferControlFrequency;
  desc.length_bytes = length;
  desc.format = {platform::kWaveFormatPcm, 1, 22050, 22050, 1, 8, 0};
  return desc;
}

void FillWithTone(SoundBuffer* buffer, uint32_t length) {
  void* r1 = nullptr;
  void* r2 = nullptr;
  uint32_t n1 = 0;
  uint32_t n2 = 0;
  if (!buffer->Lock(0, length, &r1, &n1, &r2, &n2)) return;
  for (uint32_t i = 0; i < n1; ++i) static_cast<uint8_t*>(r1)[i] = static_cast<uint8_t>(i * 7);
  buffer->Unlock(r1, n1, r2, n2);
}

// One control thread: builds buffers, plays and re-tunes them, rebuilds them, releases them.
void HammerBuffers(MixingSoundDevice* device, int seed, int rounds) {
  std::vector<SoundBuffer*> buffers;
  for (int round = 0; round < rounds; ++round) {
    if (buffers.size() < 16) {
      const uint32_t length = 64u + static_cast<uint32_t>((round * 37 + seed) % 900);
      if (SoundBuffer* buffer = device->CreateSoundBuffer(Desc8(length))) {
        FillWithTone(buffer, length);
        buffers.push_back(buffer);
      }
    }
    for (size_t i = 0; i < buffers.size(); ++i) {
      SoundBuffer* buffer = buffers[i];
      buffer->SetCurrentPosition(0);
      buffer->SetFrequency(100u + static_cast<uint32_t>((round * 131 + i * 17) % 100000));
      buffer->SetVolume(-static_cast<int32_t>((round + i) % 2000));
      buffer->SetPan(static_cast<int32_t>((round * 3 + i) % 5000) - 2500);
      buffer->Play((round + i) % 3 ? platform::kPlayLooping : 0);
      if ((round + i) % 5 == 0) buffer->Stop();
      bool playing = false;
      buffer->GetStatus(&playing, nullptr);
    }
    if (round % 7 == 0 && !buffers.empty()) {
      buffers.front()->Release();
      buffers.erase(buffers.begin());
    }
  }
  for (SoundBuffer* buffer : buffers) buffer->Release();
}

TEST(MixerConcurrencyTest, ControlThreadsAndTheOutputThreadShareTheDevice) {
  auto output = std::make_unique<ThreadedTestOutput>();
  ThreadedTestOutput* raw = output.get();
  std::unique_ptr<MixingSoundDevice> device = MixingSoundDevice::Create(std::move(output));
  ASSERT_TRUE(device);
  ASSERT_TRUE(device->CreatePrimaryBuffer());
  std::thread main_like(HammerBuffers, device.get(), 1, 800);
  std::thread timer_like(HammerBuffers, device.get(), 2, 800);
  main_like.join();
  timer_like.join();
  EXPECT_GT(raw->blocks(), 0);
  EXPECT_EQ(device->LiveBufferCount(), 0);
  device->ReleasePrimaryBuffer();
}

TEST(MixerConcurrencyTest, ControlCallsNeverWaitForAnOutputThatDoesNotPull) {
  std::unique_ptr<MixingSoundDevice> device =
      MixingSoundDevice::Create(std::make_unique<test_support::StalledTestOutput>());
  ASSERT_TRUE(device && device->CreatePrimaryBuffer());
  SoundBuffer* buffer = device->CreateSoundBuffer(Desc8(256));
  ASSERT_TRUE(buffer);
  // Far more calls than the queue holds. A call that waited for room (tens of milliseconds
  // each) would take minutes here; they must all go through at once.
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 10000; ++i) buffer->SetVolume(-(i % 2000));
  buffer->Play(platform::kPlayLooping);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 5.0);
  // The calls keep their order: the queue's oldest went first, the rest wait in the queue; once
  // the stream is gone every call takes effect directly.
  device->ReleasePrimaryBuffer();
  bool playing = false;
  ASSERT_TRUE(buffer->GetStatus(&playing, nullptr));
  EXPECT_TRUE(playing);
  buffer->Stop();
  ASSERT_TRUE(buffer->GetStatus(&playing, nullptr));
  EXPECT_FALSE(playing);
  buffer->Release();
}

TEST(MixerConcurrencyTest, TheSdlAudioThreadMixesWhileControlCallsArrive) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  auto output = std::make_unique<platform::SdlAudioOutput>(256);
  platform::SdlAudioOutput* raw = output.get();
  std::unique_ptr<MixingSoundDevice> device = MixingSoundDevice::Create(std::move(output));
  if (!device) GTEST_SKIP() << "SDL has no dummy audio driver here";
  ASSERT_TRUE(device->CreatePrimaryBuffer());
  std::thread control(HammerBuffers, device.get(), 3, 400);
  HammerBuffers(device.get(), 4, 400);
  control.join();
  // Give the audio thread time to run at least a few callbacks.
  for (int i = 0; i < 200 && raw->callbacks() < 3; ++i) platform::SleepMs(5);
  EXPECT_GE(raw->callbacks(), 3u);
  device->ReleasePrimaryBuffer();
}

}  // namespace
