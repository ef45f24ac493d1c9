#include "tools/render/wav_writer.h"

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

uint64_t MaxWavFrames(int channels) {
  // The RIFF size field holds 36 bytes of header plus the data.
  return (0xFFFFFFFFull - 36) / (2ull * static_cast<uint64_t>(channels));
}

bool WavWriter::Open(const std::string& path, int rate, int channels, uint64_t frames,
                     std::string* error) {
  if (frames > MaxWavFrames(channels)) {
    *error = path + ": too long for a WAV file";
    return false;
  }
  channels_ = channels;
  planned_frames_ = frames;
  written_frames_ = 0;
  if (!output_.Open(path, error)) return false;
  uint8_t header[44];
  WriteWavHeader(header, rate, channels,
                 static_cast<uint32_t>(frames * 2 * static_cast<uint64_t>(channels)));
  if (output_.Write(header, sizeof header)) return true;
  output_.Commit(error);  // fails, and says why
  return false;
}

bool WavWriter::Write(const int16_t* samples, size_t frames) {
  written_frames_ += frames;
  // Samples are stored little-endian, as this host keeps them.
  return output_.Write(samples, frames * static_cast<size_t>(channels_) * sizeof(int16_t));
}

bool WavWriter::Finish(std::string* error) {
  if (written_frames_ != planned_frames_) {
    *error = output_.path() + ": the render ended at a different length than planned";
    output_.Abandon();
    return false;
  }
  return output_.Commit(error);
}

}  // namespace render
