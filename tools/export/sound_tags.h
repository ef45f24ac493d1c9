// Tags for exported files: title, artist, album and track, the loop a game engine repeats
// (LOOPSTART and LOOPLENGTH, in samples) and ReplayGain's track gain and peak. Written with
// TagLib into the Vorbis comments of FLAC, Ogg Vorbis and Ogg Opus files and into ID3v2 frames
// (user text frames for the loop and gain) of MP3 files; WAV files carry theirs in their own
// chunks (see the WAV writer). Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/export/audio_format.h"

namespace exporting {

struct SoundTags {
  std::string title;  // UTF-8; empty: none
  std::string artist;
  std::string album;
  std::string track;
  std::optional<int64_t> loop_start;   // samples (frames) from the start
  std::optional<int64_t> loop_length;  // samples
  std::optional<double> replaygain_gain_db;
  std::optional<double> replaygain_peak;  // linear, 1.0 = full scale

  bool empty() const {
    return title.empty() && artist.empty() && album.empty() && track.empty() && !loop_start &&
           !replaygain_gain_db;
  }
};

// The "name=value" comments the tags come to (LOOPSTART=..., REPLAYGAIN_TRACK_GAIN=-3.21 dB). In
// Ogg Opus the gain is what its players read (RFC 7845): R128_TRACK_GAIN, a Q7.8 number of dB
// to −23 LUFS (the ReplayGain gain, which aims at −18, less 5 dB), and no REPLAYGAIN_* at all.
std::vector<std::pair<std::string, std::string>> CommentsOf(const SoundTags& tags,
                                                            AudioFormat format);

// Writes `tags` into the encoded file `bytes` (a compressed format). False with `error`.
bool ApplyTags(AudioFormat format, const SoundTags& tags, std::vector<uint8_t>* bytes,
               std::string* error);

}  // namespace exporting
