#include "tools/export/encoded_writer.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>

namespace exporting {
namespace {

// libsndfile's number for each format we encode with it.
int SndfileFormat(AudioFormat format) {
  switch (format) {
    case AudioFormat::kWav:
      return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case AudioFormat::kFlac:
      return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case AudioFormat::kOgg:
      return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case AudioFormat::kOpus:
      return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case AudioFormat::kMp3:
      return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
  }
  return 0;
}

}  // namespace

// The file being encoded, held in memory for libsndfile's virtual input and output.
struct EncodedWriter::Memory {
  std::vector<uint8_t> bytes;
  sf_count_t position = 0;

  static Memory* Of(void* user) { return static_cast<Memory*>(user); }
  static sf_count_t Length(void* user) { return static_cast<sf_count_t>(Of(user)->bytes.size()); }
  static sf_count_t Seek(sf_count_t offset, int whence, void* user) {
    Memory* m = Of(user);
    const sf_count_t base = whence == SEEK_SET   ? 0
                            : whence == SEEK_CUR ? m->position
                                                 : Length(user);
    m->position = std::max<sf_count_t>(base + offset, 0);
    return m->position;
  }
  static sf_count_t Read(void* to, sf_count_t count, void* user) {
    Memory* m = Of(user);
    const sf_count_t left = std::max<sf_count_t>(Length(user) - m->position, 0);
    const sf_count_t n = std::min(count, left);
    if (n > 0) std::memcpy(to, m->bytes.data() + m->position, static_cast<size_t>(n));
    m->position += n;
    return n;
  }
  static sf_count_t Write(const void* from, sf_count_t count, void* user) {
    Memory* m = Of(user);
    const size_t end = static_cast<size_t>(m->position + count);
    if (end > m->bytes.size()) m->bytes.resize(end);
    std::memcpy(m->bytes.data() + m->position, from, static_cast<size_t>(count));
    m->position += count;
    return count;
  }
  static sf_count_t Tell(void* user) { return Of(user)->position; }
};

EncodedWriter::EncodedWriter() : memory_(std::make_unique<Memory>()) {}

EncodedWriter::~EncodedWriter() {
  if (file_) sf_close(static_cast<SNDFILE*>(file_));
}

bool EncodedWriter::Open(AudioFormat format, int rate, double quality, std::string* error) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = SndfileFormat(format);
  static SF_VIRTUAL_IO io{&Memory::Length, &Memory::Seek, &Memory::Read, &Memory::Write,
                          &Memory::Tell};
  SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, memory_.get());
  if (!file) {
    *error = std::string("cannot encode ") + FormatName(format) + ": " + sf_strerror(nullptr);
    return false;
  }
  file_ = file;
  format_ = format;
  // Floats are taken as they are, full scale at 1.0 (see Write).
  sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  double setting = std::clamp(quality, 0.0, 1.0);
  if (format == AudioFormat::kFlac) {
    sf_command(file, SFC_SET_COMPRESSION_LEVEL, &setting, sizeof setting);
  } else {
    sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &setting, sizeof setting);
  }
  return true;
}

bool EncodedWriter::Write(const int16_t* stereo, size_t frames) {
  if (!file_) return false;
  const sf_count_t count = static_cast<sf_count_t>(frames);
  if (format_ != AudioFormat::kMp3)
    return sf_writef_short(static_cast<SNDFILE*>(file_), stereo, count) == count;
  // libsndfile 1.2.0 hands 16-bit stereo frames to its MP3 encoder wrongly (the file decodes to
  // noise and full-scale clicks); the same frames as floats encode as they should. Dividing by
  // 32768 is exact, so the encoder sees exactly the rendered samples.
  floats_.resize(2 * frames);
  for (size_t i = 0; i < 2 * frames; ++i) floats_[i] = stereo[i] / 32768.0f;
  return sf_writef_float(static_cast<SNDFILE*>(file_), floats_.data(), count) == count;
}

bool EncodedWriter::Finish(std::vector<uint8_t>* bytes, std::string* error) {
  if (!file_) {
    *error = "nothing was encoded";
    return false;
  }
  const int result = sf_close(static_cast<SNDFILE*>(file_));
  file_ = nullptr;
  if (result != 0) {
    *error = std::string("the encoder failed: ") + sf_error_number(result);
    return false;
  }
  *bytes = std::move(memory_->bytes);
  return true;
}

}  // namespace exporting
