#include "runtime/platform/gain_ramp.h"

#include <algorithm>

namespace platform {

int32_t GainRamp::gain() const {
  if (left_ == 0) return gain_;
  const int64_t into = length_ - left_;
  return static_cast<int32_t>(gain_ + (int64_t{target_} - gain_) * into / length_);
}

void GainRamp::Start(int32_t target_q15, int64_t frames) {
  const int32_t from = gain();
  target_ = std::clamp(target_q15, 0, kUnity);
  if (frames <= 0 || from == target_) {
    gain_ = target_;
    length_ = left_ = 0;
    return;
  }
  gain_ = from;
  length_ = left_ = frames;
}

void GainRamp::Finish() {
  gain_ = target_;
  length_ = left_ = 0;
}

void GainRamp::Advance(int64_t frames) {
  if (left_ == 0) return;
  left_ -= std::min(frames, left_);
  if (left_ == 0) gain_ = target_;
}

void GainRamp::Apply(int32_t* stereo, int frames) {
  int i = 0;
  for (; i < frames && left_ > 0; ++i) {
    const int64_t g = gain();
    stereo[2 * i] = static_cast<int32_t>((stereo[2 * i] * g) >> 15);
    stereo[2 * i + 1] = static_cast<int32_t>((stereo[2 * i + 1] * g) >> 15);
    if (--left_ == 0) gain_ = target_;
  }
  if (i == frames || gain_ == kUnity) return;
  const int64_t g = gain_;
  for (; i < frames; ++i) {
    stereo[2 * i] = static_cast<int32_t>((stereo[2 * i] * g) >> 15);
    stereo[2 * i + 1] = static_cast<int32_t>((stereo[2 * i + 1] * g) >> 15);
  }
}

}  // namespace platform
