// A stand-in for the music player behind the jukebox's model and screen: it keeps a playlist of
// `songs` entries (plus the empty one past the end, as the real playlist has) and records every
// call made of it. Used by the model's and the screen's tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/jukebox_model.h"

namespace test_support {

class RecordingJukeboxPlayer : public app::JukeboxPlayer {
 public:
  explicit RecordingJukeboxPlayer(int songs) : count_(songs + 1) {}
  int current_index() const override { return current_; }
  int entry_count() const override { return count_; }
  const char* title(int) const override { return "SONG"; }
  int time_limit(int) const override { return limit_seconds; }
  void PlayIndex(int index) override {
    plays.push_back(index);
    current_ = index;
    paused = false;  // playing lets go of a hold, as the music player does
  }
  void RequestSwitch(int index) override { switches.push_back(index); }
  void SetPaused(bool value) override { paused = value; }
  void SetOutputGain(int32_t gain) override { gains.push_back(gain); }
  bool AppendEntry(const std::string& file, const std::string&, int, const std::string&) override {
    files.push_back(file);
    count_ = std::max(count_, 1) + 1;
    return true;
  }

  // Lands on whole tenths of a second, as a player whose device places frames would land near.
  int64_t SeekTo(uint32_t ms) override {
    seeks.push_back(ms);
    return current_ >= 0 ? ms / 100 * 100 : -1;
  }
  int64_t loop_start_ms() const override { return current_ >= 0 ? 1300 : -1; }

  std::vector<int> plays;
  std::vector<uint32_t> seeks;
  std::vector<int> switches;
  std::vector<int32_t> gains;
  std::vector<std::string> files;
  bool paused = false;
  int limit_seconds = 3;  // every entry's time limit
  int current_ = -1;
  int count_;
};

}  // namespace test_support
