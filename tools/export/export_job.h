// One song to one sound file, as org2wav exports it: rendered by the offline renderer, brought
// to a target loudness if asked (a measuring pass first), written as WAV by our own writer or
// encoded by libsndfile, tagged (title, artist, album, track, the loop a game engine repeats,
// ReplayGain), and put in place through the safe output path. The loop tags mark the second
// pass of the song's loop, so that whatever rings across the loop point is inside the region:
// the intro followed by the region repeated is sample for sample a longer render. Main thread
// or a worker of a batch: each export has an engine of its own.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "org/org_format.h"
#include "tools/export/audio_format.h"
#include "tools/export/loudness.h"
#include "tools/export/sound_tags.h"
#include "tools/render/offline_render.h"

namespace exporting {

struct ExportOptions {
  render::RenderOptions render;
  AudioFormat format = AudioFormat::kWav;
  double quality = 0.5;  // 0..1: the codec's quality, or FLAC's compression effort
  SoundTags tags;        // title, artist, album, track as given
  bool loop_tags = false;
  std::optional<double> normalize_lufs;
  bool replaygain = false;
};

// The region a game engine repeats: the loop's second pass, in frames of the render.
struct LoopRegion {
  int64_t start = 0;
  int64_t length = 0;
};
// None when the song has no loop to repeat.
std::optional<LoopRegion> LoopRegionOf(const org::ParsedSong& song, int rate);

// What a render needs before it starts, checked before any work: a line saying why not, or "".
std::string ProblemWithExport(const org::ParsedSong& song, const ExportOptions& options);

struct ExportResult {
  bool ok = false;
  std::string error;  // one line: why it failed
  std::vector<std::string> missing_drums;
  double gain_db = 0;  // applied for --normalize
  // How far below the loudness asked the true-peak ceiling held the render (LU; 0 when reached).
  double short_of_target_lu = 0;
};

// The note a normalized render gets when its true peak kept it below the loudness asked; "" when
// it reached it (within a tenth of a unit).
std::string ShortOfTargetNote(const ExportResult& result, double target_lufs);

using ProgressSink = std::function<void(double fraction)>;

// Renders `song_path` (a path this system opens) to `out_path` ("-": standard output).
ExportResult ExportSong(const org::ParsedSong& song, const std::string& song_path,
                        const std::string& out_path, const ExportOptions& options,
                        const ProgressSink& progress = nullptr);

// Measures the loudness of the render `options` describe, writing nothing.
Loudness MeasureSong(const std::string& song_path, const render::RenderOptions& options);

}  // namespace exporting
