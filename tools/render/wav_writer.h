// Writes 16-bit PCM WAV files safely: into a temporary file beside the target, renamed into place
// only when complete, so an interrupted or failed run never leaves a half file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace render {

class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter();  // an unfinished file is removed
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Starts writing `path` (through a temporary file). False when it cannot be created.
  bool Open(const std::string& path, int rate, int channels);
  bool Write(const int16_t* samples, size_t frames);
  // Completes the header and renames the file into place.
  bool Finish();
  // The temporary file being written ("" when none), for a signal handler to remove.
  const std::string& temporary_path() const { return temporary_; }

 private:
  std::FILE* file_ = nullptr;
  std::string target_;
  std::string temporary_;
  int channels_ = 2;
  int header_rate_ = 44100;
  uint64_t data_bytes_ = 0;
  bool failed_ = false;
};

// The canonical 44-byte header of a 16-bit PCM WAV file.
void WriteWavHeader(uint8_t header[44], int rate, int channels, uint32_t data_bytes);

}  // namespace render
