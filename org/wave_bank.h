// The waveform bank: 100 single-period waveforms of 256 signed 8-bit samples (25,600 bytes,
// waveform w at byte w × 256), the layout of Org\Wave100.dat. A bank never changes once made, so
// any number of engines on any threads share one. The built-in bank is ours (the same bytes as the
// data folder's Wave100.dat), compiled into the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace org {

inline constexpr int kWaveCount = 100;
inline constexpr int kWaveLength = 256;
inline constexpr size_t kWaveBankBytes = kWaveCount * kWaveLength;

class WaveBank {
 public:
  // All zero: every waveform silent.
  WaveBank() = default;

  // The bank `base` (null: all zero) with its first `size` bytes replaced by `bytes` (at most
  // 25,600 are taken): a short file replaces only what it covers.
  static std::shared_ptr<const WaveBank> Overlay(const WaveBank* base, const uint8_t* bytes,
                                                 size_t size);
  // Ours, made once per process on first use.
  static std::shared_ptr<const WaveBank> BuiltIn();

  int8_t Sample(int wave, int index) const { return samples_[wave * kWaveLength + index]; }
  const int8_t* data() const { return samples_; }

 private:
  int8_t samples_[kWaveBankBytes] = {};
};

}  // namespace org
