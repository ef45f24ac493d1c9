// The mixer's form of a voice's samples, from PCM bytes and from signed 8-bit samples.
#include "runtime/platform/voice_samples.h"

#include <gtest/gtest.h>

namespace {

using platform::ConvertPcm;
using platform::MonoFromSigned8;
using platform::VoiceSamples;

TEST(VoiceSamplesTest, EightBitSamplesAreCentredAndScaled) {
  const uint8_t bytes[] = {0x00, 0x80, 0xFF, 0xC0};
  VoiceSamples samples = ConvertPcm(bytes, 4, 1, 8);
  ASSERT_EQ(samples.frames, 4u);
  EXPECT_EQ(samples.samples[0], -32768);
  EXPECT_EQ(samples.samples[1], 0);
  EXPECT_EQ(samples.samples[2], 32512);
  EXPECT_EQ(samples.samples[3], 16384);
  EXPECT_EQ(samples.samples[4], -32768);  // guard frame repeats frame 0
}

// Every signed value, straight or as the unsigned byte written through a buffer's Lock, comes
// out the same, guard frame included.
TEST(VoiceSamplesTest, SignedEightBitSamplesGiveWhatTheirUnsignedBytesGive) {
  int8_t values[256];
  uint8_t bytes[256];
  for (int i = 0; i < 256; ++i) {
    values[i] = static_cast<int8_t>(i - 128 + (i * 37) % 7);  // every value, not in order
    bytes[i] = static_cast<uint8_t>(values[i] ^ 0x80);
  }
  const VoiceSamples straight = MonoFromSigned8(values, 256);
  const VoiceSamples through_bytes = ConvertPcm(bytes, 256, 1, 8);
  EXPECT_EQ(straight.frames, 256u);
  EXPECT_EQ(straight.channels, 1);
  EXPECT_EQ(straight.samples, through_bytes.samples);
  EXPECT_EQ(straight.samples.back(), straight.samples.front());

  const VoiceSamples none = MonoFromSigned8(values, 0);
  EXPECT_EQ(none.frames, 0u);
  EXPECT_EQ(none.samples, (std::vector<int16_t>{0}));  // the guard alone, silent
}

}  // namespace
