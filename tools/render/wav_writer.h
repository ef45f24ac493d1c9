// Writes 16-bit PCM WAV files through SafeOutput: into a temporary file renamed into place only
// when complete (so an interrupted or failed run never leaves a half file), or straight into a
// FIFO, a device or standard output. The number of frames is known before the first one is
// written, so the header is exact from the start and a stream needs no rewinding; a render a
// WAV file cannot hold (over 4 GiB of samples) is refused before anything is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/output/safe_output.h"

namespace render {

// The most frames a WAV file of `channels` 16-bit channels can hold (its sizes are 32-bit).
uint64_t MaxWavFrames(int channels);

class WavWriter {
 public:
  // Starts writing `frames` frames to `path` ("-": standard output). `trailing_chunks` (whole
  // RIFF chunks, such as a sampler loop or a LIST of text) follow the data. False with `error`.
  bool Open(const std::string& path, int rate, int channels, uint64_t frames, std::string* error,
            std::vector<uint8_t> trailing_chunks = {});
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
  std::vector<uint8_t> trailing_;
};

// A "smpl" chunk with one forward loop of `length` frames from frame `start`, as samplers and
// game engines read it.
std::vector<uint8_t> SamplerLoopChunk(int rate, uint64_t start, uint64_t length);
// A "LIST" chunk of "INFO" texts: title (INAM), artist (IART), album (IPRD), track (IPRT);
// empty texts are left out, and so is the chunk when all are.
std::vector<uint8_t> InfoListChunk(const std::string& title, const std::string& artist,
                                   const std::string& album, const std::string& track);

// The canonical 44-byte header of a 16-bit PCM WAV file; `trailing_bytes` of further chunks
// after the data are counted in the RIFF size.
void WriteWavHeader(uint8_t header[44], int rate, int channels, uint32_t data_bytes,
                    uint32_t trailing_bytes = 0);

}  // namespace render
