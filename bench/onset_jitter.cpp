// Measures how evenly notes started from another thread come out of the real-time output path.
// A timer thread starts a short tone every 50 ms on absolute deadlines; SDL's "disk" audio driver
// writes the stream to a file; the onsets in that capture are then found and their spacing
// reported (mean, standard deviation, extremes). Usage: onset_jitter [notes] [interval_ms]
// With --capture FILE INTERVAL_MS it only analyses an existing capture (16-bit stereo at
// 44100 Hz, as SDL's disk driver writes it), such as one of orgplay playing a metronome song.
#include <SDL.h>
#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "runtime/platform/mixing_sound_device.h"
#include "runtime/platform/sdl_audio_output.h"

namespace {

constexpr int kRate = 44100;
constexpr int kBlockFrames = 2048;  // the real-time output's own block size

struct Stats {
  double mean = 0;
  double deviation = 0;
  double low = 1e9;
  double high = -1e9;
};

Stats Summarise(const std::vector<double>& values) {
  Stats stats;
  for (double v : values) {
    stats.mean += v;
    stats.low = std::min(stats.low, v);
    stats.high = std::max(stats.high, v);
  }
  stats.mean /= static_cast<double>(values.size());
  for (double v : values) stats.deviation += (v - stats.mean) * (v - stats.mean);
  stats.deviation = std::sqrt(stats.deviation / static_cast<double>(values.size()));
  return stats;
}

platform::SoundBuffer* MakeTone(platform::MixingSoundDevice& device) {
  platform::SoundBufferDesc desc;
  desc.length_bytes = 2205;  // 100 ms at 22050 Hz: 10 ms of square wave, then silence
  desc.format = {platform::kWaveFormatPcm, 1, 22050, 22050, 1, 8, 0};
  platform::SoundBuffer* buffer = device.CreateSoundBuffer(desc);
  void* region = nullptr;
  uint32_t bytes = 0;
  if (!buffer || !buffer->Lock(0, desc.length_bytes, &region, &bytes, nullptr, nullptr))
    return nullptr;
  auto* samples = static_cast<uint8_t*>(region);
  for (uint32_t i = 0; i < bytes; ++i) samples[i] = i < 220 ? ((i / 10) % 2 ? 0xE0 : 0x20) : 0x80;
  buffer->Unlock(region, bytes, nullptr, 0);
  return buffer;
}

// Onsets: the first loud frame after `quiet_ms` of quiet.
std::vector<double> FindOnsetsMs(const std::vector<int16_t>& stereo, double quiet_ms = 20) {
  std::vector<double> onsets;
  int quiet = 1 << 30;
  for (size_t frame = 0; frame < stereo.size() / 2; ++frame) {
    const int level = std::abs(stereo[2 * frame]);
    if (level > 2000) {
      if (quiet > quiet_ms * kRate / 1000) onsets.push_back(frame * 1000.0 / kRate);
      quiet = 0;
    } else {
      ++quiet;
    }
  }
  return onsets;
}

}  // namespace

void PrintSpacing(const std::vector<double>& onsets, int interval_ms) {
  std::vector<double> spacing;
  for (size_t i = 1; i < onsets.size(); ++i) spacing.push_back(onsets[i] - onsets[i - 1]);
  if (spacing.size() < 2) {
    std::printf("found %zu onsets only\n", onsets.size());
    return;
  }
  const Stats out = Summarise(spacing);
  std::printf("onsets %zu, interval %d ms\n", onsets.size(), interval_ms);
  std::printf("onsets:  mean %.3f ms  sd %.3f ms  min %.3f  max %.3f\n", out.mean, out.deviation,
              out.low, out.high);
}

std::vector<int16_t> ReadCapture(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<int16_t> stereo(bytes.size() / 2);
  std::memcpy(stereo.data(), bytes.data(), stereo.size() * 2);
  return stereo;
}

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--capture") {
    PrintSpacing(FindOnsetsMs(ReadCapture(argv[2]), std::atoi(argv[3]) / 2.5), std::atoi(argv[3]));
    return 0;
  }
  const int notes = argc > 1 ? std::atoi(argv[1]) : 200;
  const int interval_ms = argc > 2 ? std::atoi(argv[2]) : 50;
  const std::string capture = "/tmp/onset_jitter_capture.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);

  auto output = std::make_unique<platform::SdlAudioOutput>(kBlockFrames);
  std::unique_ptr<platform::MixingSoundDevice> device =
      platform::MixingSoundDevice::Create(std::move(output));
  if (!device || !device->CreatePrimaryBuffer() ||
      !device->SetPrimaryFormat({platform::kWaveFormatPcm, 2, kRate, kRate * 4, 4, 16, 0})) {
    std::fprintf(stderr, "onset_jitter: SDL's disk audio driver is not available\n");
    return 1;
  }
  platform::SoundBuffer* tone = MakeTone(*device);

  // The note thread keeps absolute deadlines, as the sequencer's timer does.
  std::vector<double> call_ms;
  std::thread timer([&] {
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (int n = 0; n < notes; ++n) {
      next.tv_nsec += interval_ms * 1000000L;
      while (next.tv_nsec >= 1000000000L) {
        next.tv_nsec -= 1000000000L;
        ++next.tv_sec;
      }
      clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      call_ms.push_back(now.tv_sec * 1000.0 + now.tv_nsec / 1e6);
      tone->Stop();
      tone->SetCurrentPosition(0);
      tone->Play(0);
    }
  });
  timer.join();
  SDL_Delay(300);
  tone->Release();
  device.reset();

  std::ifstream in(capture, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<int16_t> stereo(bytes.size() / 2);
  std::memcpy(stereo.data(), bytes.data(), stereo.size() * 2);
  std::remove(capture.c_str());

  const std::vector<double> onsets = FindOnsetsMs(stereo);
  std::vector<double> spacing;
  for (size_t i = 1; i < onsets.size(); ++i) spacing.push_back(onsets[i] - onsets[i - 1]);
  std::vector<double> call_spacing;
  for (size_t i = 1; i < call_ms.size(); ++i) call_spacing.push_back(call_ms[i] - call_ms[i - 1]);
  if (spacing.size() < 2) {
    std::fprintf(stderr, "onset_jitter: found %zu onsets only\n", onsets.size());
    return 1;
  }
  const Stats out = Summarise(spacing);
  const Stats calls = Summarise(call_spacing);
  std::printf("notes %d, onsets found %zu, interval %d ms\n", notes, onsets.size(), interval_ms);
  std::printf("calls:   mean %.3f ms  sd %.3f ms  min %.3f  max %.3f\n", calls.mean,
              calls.deviation, calls.low, calls.high);
  std::printf("onsets:  mean %.3f ms  sd %.3f ms  min %.3f  max %.3f\n", out.mean, out.deviation,
              out.low, out.high);
  std::printf("first onsets at %.3f, %.3f ms; last at %.3f ms; capture %.3f ms\n", onsets[0],
              onsets[1], onsets.back(), stereo.size() / 2 * 1000.0 / kRate);
  // The spacings furthest from the interval, to see what a wide spread is made of.
  for (size_t i = 0; i < spacing.size(); ++i)
    if (std::fabs(spacing[i] - interval_ms) > (getenv("ALL") ? -1.0 : 2.0))
      std::printf("  onset %zu at %.3f ms: %.3f ms after the one before\n", i + 1, onsets[i + 1],
                  spacing[i]);
  return 0;
}
