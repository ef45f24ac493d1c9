// Writes 16-bit PCM WAV files through SafeOutput: into a temporary file renamed into place only
// when complete (so an interrupted or failed run never leaves a half file), or straight into a
// FIFO, a device or standard output. The number of frames is known before the first one is
// written, so the header is exact from the start and a stream needs no rewinding; a render a
// WAV file cannot hold (over 4 GiB of samples) is refused before anything is written.
#pragma once

#include <cstdint>
#include <string>

#include "tools/output/safe_output.h"

namespace render {

// The most frames a WAV file of `channels` 16-bit channels can hold (its sizes are 32-bit).
uint64_t MaxWavFrames(int channels);

class WavWriter {
 public:
  // Starts writing `frames` frames to `path` ("-": standard output). False with `error`.
  bool Open(const std::string& path, int rate, int channels, uint64_t frames, std::string* error);
  bool Write(const int16_t* samples, size_t frames);
  // Completes the file; false with `error` when any write failed or the count differs.
  bool Finish(std::string* error);
  // Gives the file up (a temporary file is removed).
  void Abandon() { output_.Abandon(); }

 private:
  tools::SafeOutput output_;
  int channels_ = 2;
  uint64_t planned_frames_ = 0;
  uint64_t written_frames_ = 0;
};

// The canonical 44-byte header of a 16-bit PCM WAV file.
void WriteWavHeader(uint8_t header[44], int rate, int channels, uint32_t data_bytes);

}  // namespace render
