// Encodes 16-bit stereo frames into a compressed sound file in memory with libsndfile (FLAC,
// Ogg Vorbis, Ogg Opus, MP3): frames go in as they are rendered, the finished file's bytes come
// out at the end, ready for its tags and for the safe output path. Compressed files are small
// enough to hold (an hour of FLAC is a few hundred megabytes at most). One thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/export/audio_format.h"

namespace exporting {

class EncodedWriter {
 public:
  EncodedWriter();
  ~EncodedWriter();
  EncodedWriter(const EncodedWriter&) = delete;
  EncodedWriter& operator=(const EncodedWriter&) = delete;

  // Starts encoding `format` at `rate`; `quality` 0..1 is the codec's quality (Vorbis, Opus,
  // MP3) or compression effort (FLAC). False with `error` when the encoder cannot start.
  bool Open(AudioFormat format, int rate, double quality, std::string* error);
  bool Write(const int16_t* stereo, size_t frames);
  // Finishes the file; its bytes, or false with `error`.
  bool Finish(std::vector<uint8_t>* bytes, std::string* error);

  struct Memory;

 private:
  std::unique_ptr<Memory> memory_;
  void* file_ = nullptr;  // SNDFILE*
  AudioFormat format_ = AudioFormat::kWav;
  std::vector<float> floats_;  // a block as floats, for the MP3 encoder
};

}  // namespace exporting
