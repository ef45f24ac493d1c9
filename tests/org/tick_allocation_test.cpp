// An engine's step allocates nothing: every global allocation is counted while a song with notes
// on every track plays through the real mixing device (offline output).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "org/engine.h"
#include "runtime/platform/mixing_sound_device.h"
#include "runtime/platform/offline_audio_output.h"

namespace {
std::atomic<long> g_allocations{0};
}

// The replacements pair malloc with free; the compiler cannot see that they belong together.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(TickAllocationTest, AnEnginesTickMakesNoAllocation) {
  auto output = std::make_unique<platform::OfflineAudioOutput>();
  platform::OfflineAudioOutput* raw = output.get();
  auto device = platform::MixingSoundDevice::Create(std::move(output));
  ASSERT_TRUE(device && device->CreatePrimaryBuffer());
  org::Engine engine(device.get());
  const std::vector<uint8_t> bank(org::kWaveBankBytes, 0x10);
  engine.SetWaveBank(org::WaveBank::Overlay(nullptr, bank.data(), bank.size()));
  org::ParsedSong song;
  song.version = 2;
  song.wait = 50;
  song.loop_end = 40;
  for (int t = 0; t < 8; ++t) {
    song.tracks[t].one_shot = t % 2;
    for (int k = 0; k < 20; ++k)
      song.tracks[t].events.push_back({k * 2, static_cast<uint8_t>(12 + (k * 7 + t) % 80),
                                       static_cast<uint8_t>(k % 3), 200,
                                       static_cast<uint8_t>(k % 13)});
  }
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  ASSERT_EQ(engine.Load(bytes.data(), bytes.size(), {}).status, org::LoadStatus::kOk);
  std::vector<int16_t> audio(2 * 2205);

  const long before = g_allocations.load();
  for (int tick = 0; tick < 100; ++tick) {
    engine.Tick();
    raw->Render(audio.data(), 2205);
  }
  EXPECT_EQ(g_allocations.load() - before, 0);
  engine.ReleaseVoices();
}

}  // namespace
