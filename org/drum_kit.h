// Our own drum kit: the 28 drum samples under the names the engine's drum table uses, each
// synthesised from oscillators, noise, pitch sweeps and envelopes, as 8-bit mono 22050 Hz WAV
// files in exactly the layout the drum loader reads (an 18-byte format body, one "fact" chunk
// with a 4-byte body, then the data chunk: length at offset 54, samples from offset 58).
// The samples sound as named when played at about 22050 samples per second (drum key 27 or 28).
// This is the kit the engine plays when nobody gives it drums (the files shipped in the data
// folder are exactly these bytes), and what make_assets writes there.
// Any thread: each drum is made once per process, on first use, and never changes afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace org {

struct DrumSample {
  std::string name;  // "Bass01.wav" ...
  std::vector<uint8_t> wav;
};

std::vector<DrumSample> MakeDrumKit();

// The WAV file of drum `wave` (0..27) of our kit, made on first use; empty outside the table.
const std::vector<uint8_t>& BuiltInDrumWav(int wave);

// The WAV layout for 8-bit mono samples at `rate`.
std::vector<uint8_t> EncodeDrumWav(const std::vector<uint8_t>& samples, uint32_t rate);

}  // namespace org
