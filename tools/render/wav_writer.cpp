#include "tools/render/wav_writer.h"

#include <unistd.h>

#include <cstdlib>

namespace render {

void WriteWavHeader(uint8_t header[44], int rate, int channels, uint32_t data_bytes) {
  auto put16 = [&](int at, uint32_t v) {
    header[at] = static_cast<uint8_t>(v);
    header[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  auto put32 = [&](int at, uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  const char* tags[] = {"RIFF", "WAVE", "fmt ", "data"};
  const int at[] = {0, 8, 12, 36};
  for (int i = 0; i < 4; ++i)
    for (int k = 0; k < 4; ++k) header[at[i] + k] = static_cast<uint8_t>(tags[i][k]);
  put32(4, 36 + data_bytes);
  put32(16, 16);
  put16(20, 1);
  put16(22, static_cast<uint32_t>(channels));
  put32(24, static_cast<uint32_t>(rate));
  put32(28, static_cast<uint32_t>(rate * channels * 2));
  put16(32, static_cast<uint32_t>(channels * 2));
  put16(34, 16);
  put32(40, data_bytes);
}

WavWriter::~WavWriter() {
  if (file_) {
    std::fclose(file_);
    std::remove(temporary_.c_str());
  }
}

bool WavWriter::Open(const std::string& path, int rate, int channels) {
  target_ = path;
  channels_ = channels;
  temporary_ = path + ".partial-XXXXXX";
  const int fd = mkstemp(temporary_.data());
  if (fd < 0) {
    temporary_.clear();
    return false;
  }
  file_ = fdopen(fd, "wb");
  if (!file_) {
    close(fd);
    std::remove(temporary_.c_str());
    return false;
  }
  uint8_t header[44];
  WriteWavHeader(header, rate, channels, 0);
  failed_ = std::fwrite(header, 1, sizeof header, file_) != sizeof header;
  header_rate_ = rate;
  return !failed_;
}

bool WavWriter::Write(const int16_t* samples, size_t frames) {
  if (!file_ || failed_) return false;
  const size_t count = frames * static_cast<size_t>(channels_);
  failed_ = std::fwrite(samples, sizeof(int16_t), count, file_) != count;  // little-endian host
  data_bytes_ += count * sizeof(int16_t);
  return !failed_;
}

bool WavWriter::Finish() {
  if (!file_) return false;
  if (data_bytes_ > 0xFFFFFFFFull - 36) failed_ = true;  // too long for a WAV file
  uint8_t header[44];
  WriteWavHeader(header, header_rate_, channels_, static_cast<uint32_t>(data_bytes_));
  if (!failed_)
    failed_ = std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(header, 1, 44, file_) != 44;
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  if (!failed_ && std::rename(temporary_.c_str(), target_.c_str()) == 0) {
    temporary_.clear();
    return true;
  }
  std::remove(temporary_.c_str());
  temporary_.clear();
  return false;
}

}  // namespace render
