// One progress bar for a tool's whole run (a song and its stems, or a whole playlist), drawn on
// standard error and redrawn at most ten times a second (a bar redrawn for every block slowed a
// render and flooded a slow terminal). Its last state, 100 %, is always drawn. Caller's thread.
#pragma once

#include <cstdint>
#include <cstdio>

namespace tools {

class ProgressBar {
 public:
  using ClockMs = uint32_t (*)();
  // `parts`: how many equal parts the run has (renders); `clock` null for the platform clock.
  ProgressBar(std::FILE* out, bool shown, int parts, ClockMs clock = nullptr);
  // Part `part` (0-based) is `fraction` done.
  void Update(int part, double fraction);
  int redraws() const { return redraws_; }

  static constexpr uint32_t kIntervalMs = 100;

 private:
  std::FILE* out_;
  bool shown_;
  int parts_;
  ClockMs clock_;
  bool drawn_ = false;
  bool finished_ = false;
  uint32_t last_ms_ = 0;
  int redraws_ = 0;
};

}  // namespace tools
