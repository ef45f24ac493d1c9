// Vector kernels of the mixer, chosen at run time where the processor has them. Each gives
// exactly the same numbers as the mixer's plain loop, so renders are the same bytes everywhere.
#pragma once

#include <cstdint>

namespace platform {

// True when MixMonoLinearWide may be called on this processor.
bool HasWideMixKernel();

// Mixes `frames` output frames of a mono voice with linear interpolation into the stereo
// accumulator: per frame, sample = s0 + ((s1 - s0) * fraction15 >> 15), then each channel gets
// sample * gain >> 15. `data` holds the voice's samples with its guard sample; positions are
// 32.32 fixed point and must stay inside the voice for the whole run. Returns the new position.
uint64_t MixMonoLinearWide(const int16_t* data, uint64_t position, uint64_t step, int32_t gain_left,
                           int32_t gain_right, int32_t* accumulator, int frames);

// Adds `count` values of a group's sum into the mix and returns the largest magnitude among them
// (the vector form where the processor has it, `wide`, else a plain loop: the same numbers).
int32_t AddAndPeak(const int32_t* sum, int32_t* mix, int count, bool wide);

// Saturates `count` 32-bit values to 16 bits.
void SaturateToInt16(const int32_t* in, int16_t* out, int count);

}  // namespace platform
