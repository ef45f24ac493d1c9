#include "org/wave_bank.h"

#include <algorithm>
#include <cstring>

namespace org {

// The bytes of data/Org/Wave100.dat, written into the build by CMake (org/CMakeLists.txt).
extern const uint8_t kBuiltInWaveBank[kWaveBankBytes];

std::shared_ptr<const WaveBank> WaveBank::Overlay(const WaveBank* base, const uint8_t* bytes,
                                                  size_t size) {
  auto bank = std::make_shared<WaveBank>();
  if (base) std::memcpy(bank->samples_, base->samples_, kWaveBankBytes);
  if (bytes && size > 0) std::memcpy(bank->samples_, bytes, std::min(size, kWaveBankBytes));
  return bank;
}

std::shared_ptr<const WaveBank> WaveBank::BuiltIn() {
  static const std::shared_ptr<const WaveBank> bank =
      Overlay(nullptr, kBuiltInWaveBank, kWaveBankBytes);
  return bank;
}

}  // namespace org
