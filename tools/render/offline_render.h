// Renders an Org song offline for the tools, through the music library's renderer
// (org::SongRenderer): the song and its drums read from the user's paths, the waveform bank
// given or ours, ticks on exact frames (tick k, k = 1, 2, ..., on the frame at k × wait ms),
// loops, a fade, muted tracks and a start position. Used by org2wav, its export jobs and tests.
// Any thread: each render has its own engine.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "org/org_format.h"
#include "runtime/platform/audio_output.h"

namespace render {

struct RenderOptions {
  std::string bank_path;       // the waveform bank file; empty: our own bank
  std::string drums_folder;    // a folder with the 28 drum files; empty: the song's Org folder
  bool builtin_drums = false;  // our own drum kit instead of any folder
  int loops = 2;               // play to the loop end, then the loop loops - 1 more times
  double seconds = -1;         // when >= 0: this long (after `start_seconds`) instead of `loops`
  double fade_seconds = 0;   // a linear fade after the last full loop (or at the end of `seconds`)
  double start_seconds = 0;  // the render begins this far into the song (exactly, by a seek)
  int rate = platform::kDefaultOutputRate;
  bool nearest = false;       // nearest-sample resampling instead of linear interpolation
  uint32_t muted_tracks = 0;  // bit t silences track t (live: its voices go on unheard)
};

// Receives rendered audio: interleaved stereo 16-bit frames.
using AudioSink = std::function<void(const int16_t* stereo, int frames)>;
// Told the fraction done, now and then.
using ProgressSink = std::function<void(double fraction)>;

struct RenderResult {
  bool ok = false;
  std::string error;  // one line, when !ok
  int64_t frames = 0;
  // The drum files the song uses that could not be found, each once.
  std::vector<std::string> missing_drums;
};

// Renders the song file at `song_path` (a path as the user gave it).
RenderResult RenderSong(const std::string& song_path, const RenderOptions& options,
                        const AudioSink& sink, const ProgressSink& progress = nullptr);

// Steps the render covers before any fade: the whole intro and loops (see RenderOptions).
int64_t StepsForLoops(const org::ParsedSong& song, int loops);

// The frame on which tick `tick` falls for `song` at `rate` (the renderer's one rule).
int64_t TickFrame(const org::ParsedSong& song, int rate, int64_t tick);

// The frames a render of `song` with `options` gives, fade included, from its start position
// (known before rendering).
int64_t PlannedFrames(const org::ParsedSong& song, const RenderOptions& options);

// The first frame a render with `options` gives.
int64_t StartFrame(const RenderOptions& options);

}  // namespace render
