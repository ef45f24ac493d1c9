// The sound file formats org2wav writes and what each needs: WAV (our own writer, as always),
// FLAC, Ogg Vorbis, Ogg Opus and MP3 (encoded by libsndfile). The format follows the output's
// extension unless --format names one; what this machine's libsndfile cannot write is known
// before any work. Any thread.
#pragma once

#include <optional>
#include <string>

namespace exporting {

enum class AudioFormat { kWav, kFlac, kOgg, kOpus, kMp3 };

// "wav", "flac", "ogg", "opus", "mp3".
const char* FormatName(AudioFormat format);
std::optional<AudioFormat> FormatFromName(const std::string& name);
// From the file name's extension (any letter case); none for another extension.
std::optional<AudioFormat> FormatFromPath(const std::string& path);
// The extension a file of the format gets (".wav" ...).
std::string ExtensionOf(AudioFormat format);

// True when this machine's libsndfile can write `format` at `rate` in stereo (tried for real:
// a library may list a codec it cannot encode). WAV is always writable.
bool CanWrite(AudioFormat format, int rate);

// Opus encodes only 8, 12, 16, 24 and 48 kHz; its default render rate is 48000.
bool RateFits(AudioFormat format, int rate);
int DefaultRate(AudioFormat format);

// True when the format keeps every sample exactly (WAV, FLAC).
bool IsLossless(AudioFormat format);

}  // namespace exporting
