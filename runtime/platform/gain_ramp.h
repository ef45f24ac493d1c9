// A gain that moves linearly to a target over a number of frames, applied frame by frame to
// mixed stereo: the mixer's per-group and master gains. At unity and still it is neutral and the
// mixer leaves the signal untouched. No allocation; owned by the mixer, used under its mix lock.
#pragma once

#include <cstdint>

namespace platform {

class GainRamp {
 public:
  static constexpr int32_t kUnity = 32768;  // Q15

  // From the gain the next frame would have, to `target_q15` (0..kUnity): frame j (0, 1, ...)
  // of the ramp has gain + (target - gain) * j / frames, so frame `frames` is the first at the
  // target. 0 frames: at once.
  void Start(int32_t target_q15, int64_t frames);
  // Jumps to the target (a seek passes over the ramp).
  void Finish();
  // Scales `frames` stereo frames in place and moves the ramp on by them.
  void Apply(int32_t* stereo, int frames);
  // Moves the ramp on by `frames` without touching any signal (a group with nothing playing).
  void Advance(int64_t frames);

  bool neutral() const { return left_ == 0 && gain_ == kUnity; }
  bool silent() const { return left_ == 0 && gain_ == 0; }
  // The gain of the next frame (Q15), and the target.
  int32_t gain() const;
  int32_t target() const { return target_; }

 private:
  int32_t gain_ = kUnity;    // at the ramp's start (or for good once it ended)
  int32_t target_ = kUnity;  // where it goes
  int64_t length_ = 0;       // frames of the ramp
  int64_t left_ = 0;         // frames of it still to come
};

}  // namespace platform
