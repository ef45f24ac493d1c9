#include "game_music/engine_fixture.h"

#include "game_music/drum_voice.h"
#include "game_music/engine_device.h"
#include "game_music/engine_reset.h"
#include "game_music/melody_voice.h"
#include "game_music/sequencer.h"
#include "runtime/platform/notice.h"

namespace test_support {

namespace {

void ResetEngine() {
  org::ResetEngine();
  platform::SetNoticeSink({});
}

}  // namespace

void EngineFixture::SetUp() {
  ResetEngine();
  here_ = std::make_unique<CurrentDirectoryScope>(dir.path());
  // Waveform w, sample i: a ramp offset by w, so every waveform and index is recognisable.
  std::string bank(25600, '\0');
  for (int w = 0; w < 100; ++w)
    for (int i = 0; i < 256; ++i) bank[w * 256 + i] = static_cast<char>((i + w) & 0xFF);
  dir.WriteFile("Org/Wave100.dat", bank);
  platform::SetNoticeSink([this](const std::string& text, const std::string& caption) {
    notices.emplace_back(text, caption);
  });
  org::SetEngineSoundDevice(&device);
  org::SetTickSource(&ticks);
  ASSERT_TRUE(org::LoadWaveBank("Org\\Wave100.dat"));
  org::InitSong();
}

void EngineFixture::TearDown() {
  ResetEngine();
  here_.reset();
}

std::string EngineFixture::WriteSong(const std::string& relative, const org::ParsedSong& song) {
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  dir.WriteFile(relative, std::string(bytes.begin(), bytes.end()));
  std::string data_path = relative;
  for (char& c : data_path)
    if (c == '/') c = '\\';
  return data_path;
}

void EngineFixture::WriteDrum(const std::string& relative, const std::vector<uint8_t>& data,
                              uint32_t rate, uint32_t declared_length) {
  const uint32_t length =
      declared_length == 0xFFFFFFFF ? static_cast<uint32_t>(data.size()) : declared_length;
  std::string file;
  auto u16 = [&](uint32_t v) {
    file.push_back(static_cast<char>(v & 0xFF));
    file.push_back(static_cast<char>((v >> 8) & 0xFF));
  };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  file += "RIFF";
  u32(50 + length);
  file += "WAVEfmt ";
  u32(18);
  u16(1);  // PCM
  u16(1);
  u32(rate);
  u32(rate);
  u16(1);
  u16(8);
  u16(0);
  file += "fact";
  u32(4);
  u32(length);
  file += "data";
  u32(length);  // offset 54: the data length
  file.append(data.begin(), data.end());
  dir.WriteFile(relative, file);
}

org::ParsedSong EngineFixture::EmptySong() {
  org::ParsedSong song;
  song.version = 2;
  song.wait = 100;
  song.meter[0] = 4;
  song.meter[1] = 4;
  song.loop_start = 0;
  song.loop_end = 64;
  return song;
}

}  // namespace test_support
