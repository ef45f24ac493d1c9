// A voice's samples in the mixer's own form, and the ways into it: from the bytes a sound
// buffer was written with through Lock (8-bit unsigned or 16-bit signed PCM), or, for a device
// that mixes itself, straight from signed 8-bit samples (the melody waveforms), with no
// unsigned bytes and no Lock between. Both give the same numbers for the same sound.
// Used by the mixer and its sound device, and by the music engine's melody voices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// Signed 16-bit, interleaved when stereo, followed by one guard frame that repeats frame 0 so
// that interpolation across a loop needs no test.
struct VoiceSamples {
  std::vector<int16_t> samples;
  uint32_t frames = 0;
  int channels = 1;
};

// Converts `bytes` of 8-bit unsigned or 16-bit signed little-endian PCM into VoiceSamples.
// An 8-bit sample s becomes (s - 128) * 256. A trailing partial frame is dropped.
VoiceSamples ConvertPcm(const uint8_t* bytes, uint32_t length, int channels, int bits);

// Mono samples from signed 8-bit ones: s becomes s * 256, as the unsigned byte s ^ 0x80 does
// through ConvertPcm.
VoiceSamples MonoFromSigned8(const int8_t* samples, uint32_t frames);

}  // namespace platform
