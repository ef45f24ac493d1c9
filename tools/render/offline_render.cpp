#include "tools/render/offline_render.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

#include "game_music/drum_folder.h"
#include "org/song_renderer.h"
#include "runtime/platform/file_reader.h"
#include "tools/render/song_inputs.h"

namespace render {
namespace {

constexpr int kBlockFrames = 4096;

// The used drum files that are not there, each once.
std::vector<std::string> MissingDrums(const org::ParsedSong& song, const std::string& folder) {
  std::vector<std::string> missing;
  std::error_code error;
  for (const std::string& path : org::DrumFilesOf(song, folder, true))
    if (!std::filesystem::is_regular_file(path, error)) missing.push_back(path);
  return missing;
}

}  // namespace

int64_t StepsForLoops(const org::ParsedSong& song, int loops) {
  return org::SongRenderer::StepsForPasses(song, loops);
}

int64_t TickFrame(const org::ParsedSong& song, int rate, int64_t tick) {
  return org::FrameOfTick(song.wait, rate, tick);
}

int64_t StartFrame(const RenderOptions& options) {
  return std::llround(std::max(0.0, options.start_seconds) * options.rate);
}

namespace {

// Where the song's body ends (before any fade), as a frame of the song from its start: --seconds
// is a length counted from --start.
int64_t BodyEndFrame(const org::ParsedSong& song, const RenderOptions& options) {
  if (options.seconds >= 0)
    return StartFrame(options) + std::llround(options.seconds * options.rate);
  return TickFrame(song, options.rate, StepsForLoops(song, options.loops) + 1);
}

}  // namespace

int64_t PlannedFrames(const org::ParsedSong& song, const RenderOptions& options) {
  const int64_t body_frames = BodyEndFrame(song, options);
  const int64_t total =
      body_frames + std::llround(std::max(0.0, options.fade_seconds) * options.rate);
  return std::max<int64_t>(0, total - StartFrame(options));
}

RenderResult RenderSong(const std::string& song_path, const RenderOptions& options,
                        const AudioSink& sink, const ProgressSink& progress) {
  RenderResult result;
  std::vector<uint8_t> bytes;
  if (!ReadSongBytes(song_path, &bytes, &result.error)) return result;
  org::RenderSettings settings;
  settings.rate = options.rate;
  settings.nearest = options.nearest;
  if (!options.bank_path.empty()) {
    const platform::FileContents bank =
        platform::ReadFileUpTo(options.bank_path, org::kWaveBankBytes);
    if (!bank.ok()) {
      result.error = "cannot read the waveform bank " + options.bank_path + ": it " + bank.why;
      return result;
    }
    settings.bank = org::WaveBank::Overlay(nullptr, bank.bytes.data(), bank.bytes.size());
  }
  const std::string drum_folder = org::DrumFolderFor(song_path, options.drums_folder);
  if (!options.builtin_drums) settings.drums = org::FolderDrums(drum_folder, nullptr);

  org::RenderError error = org::RenderError::kNone;
  std::unique_ptr<org::SongRenderer> song =
      org::SongRenderer::Open(bytes.data(), bytes.size(), settings, &error, &result.error);
  if (!song) return result;
  if (!options.builtin_drums) result.missing_drums = MissingDrums(song->song(), drum_folder);
  for (int t = 0; t < org::kTrackCount; ++t)
    if (options.muted_tracks & (1u << t)) song->engine().SetTrackMuted(t, true);
  song->SetMetering(false);  // nobody reads the levels here
  if (options.seconds >= 0) {
    song->SetEndFrame(BodyEndFrame(song->song(), options));
  } else {
    song->SetRepeatCount(std::max(options.loops, 1) - 1);
  }
  song->SetEndFadeFrames(std::llround(std::max(0.0, options.fade_seconds) * options.rate));
  song->Seek(static_cast<uint64_t>(StartFrame(options)));

  const int64_t total = PlannedFrames(song->song(), options);
  std::vector<int16_t> block(2 * kBlockFrames);
  int64_t done = 0;
  while (done < total) {
    const size_t frames = song->RenderS16(block.data(), kBlockFrames);
    if (frames == 0) break;
    sink(block.data(), static_cast<int>(frames));
    done += static_cast<int64_t>(frames);
    if (progress) progress(static_cast<double>(done) / static_cast<double>(total));
  }
  result.frames = done;
  result.ok = true;
  return result;
}

}  // namespace render
