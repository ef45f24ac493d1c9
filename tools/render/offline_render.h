// Renders an Org song offline: the same loader, voices, sequencer and sound device as the
// jukebox, with the offline output, stepping the sequencer itself so that tick k (k = 1, 2, ...)
// falls exactly on the sample at k × wait milliseconds. Used by org2wav and by tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "org/org_song.h"

namespace render {

struct RenderOptions {
  std::string bank_path;     // data path of the waveform bank
  std::string drums_folder;  // data path of a folder with the 28 drum files; empty: the song's
  int loops = 2;             // play to the loop end, then the loop loops - 1 more times
  double seconds = -1;       // when >= 0: this long instead of `loops`
  double fade_seconds = 0;   // a linear fade after the last full loop (or at the end of `seconds`)
  int rate = 44100;
  bool nearest = false;       // nearest-sample resampling instead of linear interpolation
  uint32_t muted_tracks = 0;  // bit t silences track t
};

// Receives rendered audio: interleaved stereo 16-bit frames.
using AudioSink = std::function<void(const int16_t* stereo, int frames)>;
// Told the fraction done, now and then.
using ProgressSink = std::function<void(double fraction)>;

struct RenderResult {
  bool ok = false;
  std::string error;  // one line, when !ok
  int64_t frames = 0;
  // The drum files the song uses that could not be loaded, each once, as this system spells
  // their paths (UTF-8, '/').
  std::vector<std::string> missing_drums;
};

// Renders `song_path` (a data path). Resets and then releases every engine global.
RenderResult RenderSong(const std::string& song_path, const RenderOptions& options,
                        const AudioSink& sink, const ProgressSink& progress = nullptr);

// Steps the render covers before any fade: the whole intro and loops (see RenderOptions).
int64_t StepsForLoops(const org::ParsedSong& song, int loops);

// The frames a render of `song` with `options` gives, fade included (known before rendering).
int64_t PlannedFrames(const org::ParsedSong& song, const RenderOptions& options);

// The data paths of the drum files `song` (at data path `song_path`) plays: each once, for the
// drum tracks that have events, from `drums_folder` when it is not empty.
std::vector<std::string> UsedDrumFiles(const org::ParsedSong& song, const std::string& song_path,
                                       const std::string& drums_folder);
// The same for every drum track, with events or without (the loader loads them all).
std::vector<std::string> AllDrumFiles(const org::ParsedSong& song, const std::string& song_path,
                                      const std::string& drums_folder);

}  // namespace render
