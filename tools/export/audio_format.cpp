#include "tools/export/audio_format.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "runtime/platform/audio_output.h"
#include "tools/export/encoded_writer.h"

namespace exporting {
namespace {

struct FormatInfo {
  AudioFormat format;
  const char* name;
};

constexpr FormatInfo kFormats[] = {
    {AudioFormat::kWav, "wav"},   {AudioFormat::kFlac, "flac"}, {AudioFormat::kOgg, "ogg"},
    {AudioFormat::kOpus, "opus"}, {AudioFormat::kMp3, "mp3"},
};

const FormatInfo& InfoOf(AudioFormat format) {
  for (const FormatInfo& info : kFormats)
    if (info.format == format) return info;
  return kFormats[0];
}

}  // namespace

const char* FormatName(AudioFormat format) { return InfoOf(format).name; }

std::optional<AudioFormat> FormatFromName(const std::string& name) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const FormatInfo& info : kFormats)
    if (lower == info.name) return info.format;
  return std::nullopt;
}

std::optional<AudioFormat> FormatFromPath(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
  return FormatFromName(path.substr(dot + 1));
}

std::string ExtensionOf(AudioFormat format) { return std::string(".") + FormatName(format); }

bool RateFits(AudioFormat format, int rate) {
  if (format != AudioFormat::kOpus) return true;
  return rate == 8000 || rate == 12000 || rate == 16000 || rate == 24000 || rate == 48000;
}

int DefaultRate(AudioFormat format) {
  return format == AudioFormat::kOpus ? 48000 : platform::kDefaultOutputRate;
}

bool IsLossless(AudioFormat format) {
  return format == AudioFormat::kWav || format == AudioFormat::kFlac;
}

bool CanWrite(AudioFormat format, int rate) {
  if (format == AudioFormat::kWav) return true;
  if (!RateFits(format, rate)) return false;
  // A tenth of a second of silence through the real encoder.
  EncodedWriter writer;
  std::string error;
  if (!writer.Open(format, rate, 0.5, &error)) return false;
  std::vector<int16_t> silence(static_cast<size_t>(rate / 10) * 2, 0);
  if (!writer.Write(silence.data(), silence.size() / 2)) return false;
  std::vector<uint8_t> bytes;
  return writer.Finish(&bytes, &error) && !bytes.empty();
}

}  // namespace exporting
