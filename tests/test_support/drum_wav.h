// A drum file in the layout the drum slots read: 8-bit mono PCM at `rate`, the data length at
// byte 54 (`declared_length`, or the data's own length) and the samples from byte 58.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

inline std::string DrumWav(const std::vector<uint8_t>& data, uint32_t rate = 22050,
                           uint32_t declared_length = 0xFFFFFFFF) {
  const uint32_t length =
      declared_length == 0xFFFFFFFF ? static_cast<uint32_t>(data.size()) : declared_length;
  std::string file;
  auto u16 = [&](uint32_t v) {
    file.push_back(static_cast<char>(v & 0xFF));
    file.push_back(static_cast<char>((v >> 8) & 0xFF));
  };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  file += "RIFF";
  u32(50 + length);
  file += "WAVEfmt ";
  u32(18);
  u16(1);  // PCM
  u16(1);
  u32(rate);
  u32(rate);
  u16(1);
  u16(8);
  u16(0);
  file += "fact";
  u32(4);
  u32(length);
  file += "data";
  u32(length);  // offset 54: the data length
  file.append(data.begin(), data.end());
  return file;
}

}  // namespace test_support
