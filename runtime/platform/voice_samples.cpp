#include "runtime/platform/voice_samples.h"

namespace platform {

VoiceSamples ConvertPcm(const uint8_t* bytes, uint32_t length, int channels, int bits) {
  VoiceSamples out;
  out.channels = channels;
  const uint32_t frame_bytes = static_cast<uint32_t>(channels * bits / 8);
  out.frames = frame_bytes ? length / frame_bytes : 0;
  const size_t count = size_t{out.frames} * static_cast<size_t>(channels);
  out.samples.resize(count + static_cast<size_t>(channels));
  if (bits == 8) {
    for (size_t i = 0; i < count; ++i)
      out.samples[i] = static_cast<int16_t>((bytes[i] - 128) * 256);
  } else {
    for (size_t i = 0; i < count; ++i)
      out.samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  // The guard frame repeats frame 0, so a loop interpolates seamlessly into its start.
  for (int c = 0; c < channels; ++c) out.samples[count + c] = out.frames ? out.samples[c] : 0;
  return out;
}

VoiceSamples MonoFromSigned8(const int8_t* samples, uint32_t frames) {
  VoiceSamples out;
  out.frames = frames;
  out.samples.resize(size_t{frames} + 1);
  for (uint32_t i = 0; i < frames; ++i) out.samples[i] = static_cast<int16_t>(samples[i] * 256);
  out.samples[frames] = frames ? out.samples[0] : 0;  // the guard frame
  return out;
}

}  // namespace platform
