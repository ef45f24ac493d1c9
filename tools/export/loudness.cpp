#include "tools/export/loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>

namespace exporting {

struct LoudnessMeter::State {
  ebur128_state* meter = nullptr;
  uint64_t frames = 0;
  int rate = 0;
};

LoudnessMeter::LoudnessMeter(int rate) : state_(std::make_unique<State>()) {
  state_->rate = rate;
  state_->meter = ebur128_init(2, static_cast<unsigned long>(rate),
                               EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
}

LoudnessMeter::~LoudnessMeter() {
  if (state_->meter) ebur128_destroy(&state_->meter);
}

void LoudnessMeter::Add(const int16_t* stereo, size_t frames) {
  if (state_->meter) ebur128_add_frames_short(state_->meter, stereo, frames);
  state_->frames += frames;
}

Loudness LoudnessMeter::Result() const {
  Loudness result;
  if (!state_->meter) return result;
  result.seconds = static_cast<double>(state_->frames) / state_->rate;
  double value = 0;
  if (ebur128_loudness_global(state_->meter, &value) == EBUR128_SUCCESS && std::isfinite(value)) {
    result.integrated_lufs = value;
    result.integrated_measured = true;
  }
  if (ebur128_loudness_range(state_->meter, &value) == EBUR128_SUCCESS && std::isfinite(value))
    result.range_lu = value;
  double peak = 0;
  for (unsigned channel = 0; channel < 2; ++channel)
    if (ebur128_true_peak(state_->meter, channel, &value) == EBUR128_SUCCESS)
      peak = std::max(peak, value);
  result.true_peak = peak;
  result.true_peak_dbtp = peak > 0 ? 20 * std::log10(peak) : -200;
  return result;
}

double NormalizingGainDb(const Loudness& measured, double target_lufs, double ceiling_dbtp) {
  const double to_target = target_lufs - measured.integrated_lufs;
  const double to_ceiling = ceiling_dbtp - measured.true_peak_dbtp;
  return std::min(to_target, to_ceiling);
}

double ReplayGainDb(const Loudness& measured) { return -18.0 - measured.integrated_lufs; }

}  // namespace exporting
