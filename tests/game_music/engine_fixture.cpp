#include "game_music/engine_fixture.h"

#include "game_music/engine_reset.h"
#include "game_music/game_engine.h"
#include "game_music/melody_voice.h"
#include "game_music/sequencer.h"
#include "runtime/platform/notice.h"
#include "test_support/drum_wav.h"
#include "test_support/test_song.h"

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
  dir.WriteFile(relative, DrumWav(data, rate, declared_length));
}

org::ParsedSong EngineFixture::EmptySong() { return EmptyTestSong(); }

}  // namespace test_support
