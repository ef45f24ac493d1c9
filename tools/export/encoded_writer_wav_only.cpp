// The encoder of a build without libsndfile (Windows, where no Windows build of its codecs'
// libraries is made): it starts for no format, so only WAV, our own writer's, is exported, and
// asking for another says why.
#include "tools/export/encoded_writer.h"

namespace exporting {

struct EncodedWriter::Memory {};

EncodedWriter::EncodedWriter() = default;

EncodedWriter::~EncodedWriter() = default;

bool EncodedWriter::Open(AudioFormat format, int, double, std::string* error) {
  *error = std::string("cannot encode ") + FormatName(format) + ": this build writes WAV only";
  return false;
}

bool EncodedWriter::Write(const int16_t*, size_t) { return false; }

bool EncodedWriter::Finish(std::vector<uint8_t>*, std::string* error) {
  *error = "nothing was encoded";
  return false;
}

}  // namespace exporting
