#include "tools/render/wav_writer.h"

namespace render {

void WriteWavHeader(uint8_t header[44], int rate, int channels, uint32_t data_bytes,
                    uint32_t trailing_bytes) {
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
  put32(4, 36 + data_bytes + trailing_bytes);
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
                     std::string* error, std::vector<uint8_t> trailing_chunks) {
  trailing_ = std::move(trailing_chunks);
  // The RIFF size field holds 36 bytes of header, the data and the chunks after it.
  if (frames * 2 * static_cast<uint64_t>(channels) + trailing_.size() > 0xFFFFFFFFull - 36) {
    *error = path + ": too long for a WAV file";
    return false;
  }
  channels_ = channels;
  planned_frames_ = frames;
  written_frames_ = 0;
  if (!output_.Open(path, error)) return false;
  uint8_t header[44];
  WriteWavHeader(header, rate, channels,
                 static_cast<uint32_t>(frames * 2 * static_cast<uint64_t>(channels)),
                 static_cast<uint32_t>(trailing_.size()));
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
  if (!trailing_.empty()) output_.Write(trailing_.data(), trailing_.size());
  return output_.Commit(error);
}

namespace {

void Put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutTag(std::vector<uint8_t>* out, const char* tag) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(tag[i]));
}

}  // namespace

std::vector<uint8_t> SamplerLoopChunk(int rate, uint64_t start, uint64_t length) {
  std::vector<uint8_t> chunk;
  PutTag(&chunk, "smpl");
  Put32(&chunk, 36 + 24);
  Put32(&chunk, 0);                                                                 // manufacturer
  Put32(&chunk, 0);                                                                 // product
  Put32(&chunk, static_cast<uint32_t>(1000000000u / static_cast<uint32_t>(rate)));  // ns a sample
  Put32(&chunk, 60);  // MIDI unity note
  Put32(&chunk, 0);   // pitch fraction
  Put32(&chunk, 0);   // SMPTE format
  Put32(&chunk, 0);   // SMPTE offset
  Put32(&chunk, 1);   // one loop
  Put32(&chunk, 0);   // no sampler data
  Put32(&chunk, 0);   // cue point id
  Put32(&chunk, 0);   // forward
  Put32(&chunk, static_cast<uint32_t>(start));
  Put32(&chunk, static_cast<uint32_t>(start + length - 1));  // the last sample, inclusive
  Put32(&chunk, 0);                                          // fraction
  Put32(&chunk, 0);                                          // repeat for ever
  return chunk;
}

std::vector<uint8_t> InfoListChunk(const std::string& title, const std::string& artist,
                                   const std::string& album, const std::string& track) {
  std::vector<uint8_t> texts;
  for (const auto& [tag, text] : {std::pair{"INAM", title}, std::pair{"IART", artist},
                                  std::pair{"IPRD", album}, std::pair{"IPRT", track}}) {
    if (text.empty()) continue;
    PutTag(&texts, tag);
    Put32(&texts, static_cast<uint32_t>(text.size() + 1));
    texts.insert(texts.end(), text.begin(), text.end());
    texts.push_back(0);
    if ((text.size() + 1) % 2) texts.push_back(0);  // chunks keep an even size
  }
  if (texts.empty()) return {};
  std::vector<uint8_t> chunk;
  PutTag(&chunk, "LIST");
  Put32(&chunk, static_cast<uint32_t>(4 + texts.size()));
  PutTag(&chunk, "INFO");
  chunk.insert(chunk.end(), texts.begin(), texts.end());
  return chunk;
}

}  // namespace render
