// Loudness of a render as EBU R128 measures it (libebur128): integrated loudness in LUFS,
// loudness range in LU and true peak in dBTP; and the gain that brings a render to a target
// loudness without its true peak passing -1 dBTP. One thread at a time.
#pragma once

#include <cstdint>
#include <memory>

namespace exporting {

struct Loudness {
  double integrated_lufs = -70;  // -HUGE_VAL for silence is reported as -70 (the gate)
  double range_lu = 0;
  double true_peak_dbtp = -200;
  double true_peak = 0;  // linear, 1.0 = full scale
  // False when no integrated loudness could be measured: a render shorter than one 0.4 s block,
  // or one whose every block is under the -70 LUFS gate (integrated_lufs is then -70).
  bool integrated_measured = false;
  double seconds = 0;  // how much sound was measured
  bool silent() const { return true_peak == 0; }
};

// The shortest render with an integrated loudness: one gating block.
inline constexpr double kShortestMeasurableSeconds = 0.4;

class LoudnessMeter {
 public:
  explicit LoudnessMeter(int rate);
  ~LoudnessMeter();
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;
  void Add(const int16_t* stereo, size_t frames);
  Loudness Result() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// The gain in dB that brings `measured` to `target_lufs`, lowered further where needed so that
// the true peak stays at or below `ceiling_dbtp`.
double NormalizingGainDb(const Loudness& measured, double target_lufs, double ceiling_dbtp = -1.0);

// ReplayGain 2.0's track gain: the gain to -18 LUFS.
double ReplayGainDb(const Loudness& measured);

}  // namespace exporting
