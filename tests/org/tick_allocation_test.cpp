// A sequencer step allocates nothing: every global allocation is counted while a song with notes
// on every track plays through the real mixing device (offline output).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "game_music/drum_voice.h"
#include "game_music/engine_device.h"
#include "game_music/melody_voice.h"
#include "game_music/org_song.h"
#include "game_music/sequencer.h"
#include "runtime/platform/mixing_sound_device.h"
#include "runtime/platform/offline_audio_output.h"
#include "test_support/scratch_directory.h"

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

TEST(TickAllocationTest, SongTickMakesNoAllocation) {
  test_support::ScratchDirectory dir;
  test_support::CurrentDirectoryScope here(dir.path());
  dir.WriteFile("Org/Wave100.dat", std::string(25600, '\x10'));
  auto output = std::make_unique<platform::OfflineAudioOutput>();
  platform::OfflineAudioOutput* raw = output.get();
  auto device = platform::MixingSoundDevice::Create(std::move(output));
  ASSERT_TRUE(device && device->CreatePrimaryBuffer());
  org::SetEngineSoundDevice(device.get());
  ASSERT_TRUE(org::LoadWaveBank("Org\\Wave100.dat"));
  org::InitSong();
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
  dir.WriteFile("song.org", std::string(bytes.begin(), bytes.end()));
  ASSERT_TRUE(org::LoadOrgSong("song.org"));
  std::vector<int16_t> audio(2 * 2205);

  const long before = g_allocations.load();
  for (int tick = 0; tick < 100; ++tick) {
    org::SongTick();
    raw->Render(audio.data(), 2205);
  }
  EXPECT_EQ(g_allocations.load() - before, 0);

  for (int t = 0; t < 8; ++t) org::ReleaseMelodyVoice(t);
  org::ResetDrumVoices();
  org::FreeSongNotes();
  org::ResetSequencer();
  org::SetEngineSoundDevice(nullptr);
}

}  // namespace
