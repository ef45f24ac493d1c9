// Mixer cost: 24 looping 8-bit voices at mixed rates summed into 44.1 kHz stereo, on one core.
// Reports nanoseconds per voice per output frame, and how many times faster than real time the
// offline output produces the same load.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "runtime/platform/mixing_sound_device.h"
#include "runtime/platform/offline_audio_output.h"

namespace {

constexpr int kVoices = 24;
constexpr int kRate = 44100;
constexpr int kBlock = 1024;

struct Load {
  std::unique_ptr<platform::MixingSoundDevice> device;
  platform::OfflineAudioOutput* output = nullptr;
  std::vector<platform::SoundBuffer*> buffers;

  explicit Load(platform::Interpolation interpolation) {
    platform::OfflineOutputOptions options;
    options.caps.max_secondary_rate = kRate;
    auto out = std::make_unique<platform::OfflineAudioOutput>(options);
    output = out.get();
    device = platform::MixingSoundDevice::Create(std::move(out));
    device->CreatePrimaryBuffer();
    device->mixer().SetInterpolation(interpolation);
    for (int v = 0; v < kVoices; ++v) {
      // Melody-like waveforms of 256 to 2048 samples and drum-like ones of 20000.
      const uint32_t length = v % 6 == 5 ? 20000u : 256u << (v % 4);
      platform::SoundBufferDesc desc;
      desc.length_bytes = length;
      desc.format = {platform::kWaveFormatPcm, 1, 22050, 22050, 1, 8, 0};
      platform::SoundBuffer* buffer = device->CreateSoundBuffer(desc);
      void* r1 = nullptr;
      uint32_t n1 = 0;
      buffer->Lock(0, length, &r1, &n1, nullptr, nullptr);
      for (uint32_t i = 0; i < n1; ++i)
        static_cast<uint8_t*>(r1)[i] = static_cast<uint8_t>(i * 13 + v);
      buffer->Unlock(r1, n1, nullptr, 0);
      buffer->SetFrequency(2000u + static_cast<uint32_t>(v) * 4111u);  // 2 kHz to 97 kHz
      buffer->SetVolume(-100 * v);
      buffer->SetPan(v * 200 - 2400);
      buffer->Play(platform::kPlayLooping);
      buffers.push_back(buffer);
    }
  }
  ~Load() {
    for (platform::SoundBuffer* buffer : buffers) buffer->Release();
  }
};

void MixVoices(benchmark::State& state, platform::Interpolation interpolation) {
  Load load(interpolation);
  std::vector<int16_t> out(2 * kBlock);
  for (auto _ : state) {
    load.output->Render(out.data(), kBlock);
    benchmark::DoNotOptimize(out.data());
  }
  const double frames = static_cast<double>(state.iterations()) * kBlock;
  state.SetItemsProcessed(static_cast<int64_t>(frames) * kVoices);  // voice-frames
  state.counters["ns_per_voice_frame"] = benchmark::Counter(
      frames * kVoices * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["x_realtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

void BM_Mix24VoicesLinear(benchmark::State& state) {
  MixVoices(state, platform::Interpolation::kLinear);
}
void BM_Mix24VoicesNearest(benchmark::State& state) {
  MixVoices(state, platform::Interpolation::kNearest);
}
BENCHMARK(BM_Mix24VoicesLinear);
BENCHMARK(BM_Mix24VoicesNearest);

}  // namespace
