// Shared set-up for the tests of the game's face: a scratch working directory holding a waveform
// bank, the recording sound device handed to the face's engine, a notice recorder and a manual
// tick source for the face's timer (a music player under test is given it too). The face is reset
// before and after each test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "game_music/org_song.h"
#include "game_music/song_timer.h"
#include "test_support/recording_sound_device.h"
#include "test_support/scratch_directory.h"

namespace test_support {

class EngineFixture : public testing::Test {
 public:
  // A song with every track empty, wait 100, loop 0..64, version 2.
  static org::ParsedSong EmptySong();

 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes a song file into the scratch directory (relative path) and returns its data path.
  std::string WriteSong(const std::string& relative, const org::ParsedSong& song);
  // Writes a drum WAV in the layout the loader reads: 8-bit mono at `rate`, `data` as samples.
  void WriteDrum(const std::string& relative, const std::vector<uint8_t>& data,
                 uint32_t rate = 22050, uint32_t declared_length = 0xFFFFFFFF);

  std::vector<std::pair<std::string, std::string>> notices;  // text, caption (CP932)
  RecordingSoundDevice device;
  org::ManualTickSource ticks;
  ScratchDirectory dir;

 private:
  std::unique_ptr<CurrentDirectoryScope> here_;
};

}  // namespace test_support
