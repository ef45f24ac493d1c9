#include "tools/render/offline_render.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "org/drum_voice.h"
#include "org/engine_device.h"
#include "org/engine_reset.h"
#include "org/melody_voice.h"
#include "org/sequencer.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/mixing_sound_device.h"
#include "runtime/platform/notice.h"
#include "runtime/platform/offline_audio_output.h"

namespace render {
namespace {

constexpr int kBlockFrames = 4096;

// Silences tracks by taking their events away before the rewind.
void Mute(uint32_t muted_tracks) {
  org::OrgSong& song = org::GetOrgSong();
  for (int t = 0; t < org::kTrackCount; ++t)
    if (muted_tracks & (1u << t)) song.tracks[t].first = nullptr;
  org::SeekSong(0);
}

// The used drum files that are not there, each once, in this system's spelling.
std::vector<std::string> MissingDrums(const org::ParsedSong& parsed, const std::string& song_path,
                                      const std::string& drums_folder) {
  std::vector<std::string> missing;
  for (const std::string& path : UsedDrumFiles(parsed, song_path, drums_folder))
    if (!platform::DataFileExists(path)) missing.push_back(platform::ResolveDataPath(path));
  return missing;
}

}  // namespace

namespace {

std::vector<std::string> DrumFiles(const org::ParsedSong& song, const std::string& song_path,
                                   const std::string& drums_folder, bool used_only) {
  const std::string saved = org::DrumFolderOverride();
  org::SetDrumFolderOverride(drums_folder);
  std::vector<std::string> files;
  for (int slot = 0; slot < org::kDrumSlots; ++slot) {
    const org::ParsedSong::Track& track = song.tracks[org::kMelodyTracks + slot];
    if (used_only && track.events.empty()) continue;
    const std::string path = org::DrumPathForSong(song_path, track.wave);
    if (!path.empty() && std::find(files.begin(), files.end(), path) == files.end())
      files.push_back(path);
  }
  org::SetDrumFolderOverride(saved);
  return files;
}

}  // namespace

std::vector<std::string> UsedDrumFiles(const org::ParsedSong& song, const std::string& song_path,
                                       const std::string& drums_folder) {
  return DrumFiles(song, song_path, drums_folder, true);
}

std::vector<std::string> AllDrumFiles(const org::ParsedSong& song, const std::string& song_path,
                                      const std::string& drums_folder) {
  return DrumFiles(song, song_path, drums_folder, false);
}

int64_t PlannedFrames(const org::ParsedSong& song, const RenderOptions& options) {
  const double frames_per_ms = options.rate / 1000.0;
  const int64_t body_frames = options.seconds >= 0
                                  ? std::llround(options.seconds * options.rate)
                                  : std::llround((StepsForLoops(song, options.loops) + 1) *
                                                 static_cast<double>(song.wait) * frames_per_ms);
  return body_frames + std::llround(std::max(0.0, options.fade_seconds) * options.rate);
}

int64_t StepsForLoops(const org::ParsedSong& song, int loops) {
  const int64_t loop_length = int64_t{song.loop_end} - song.loop_start;
  if (song.loop_end <= 0) return 1;
  if (loop_length <= 0) return song.loop_end;
  return song.loop_end + int64_t{std::max(loops, 1) - 1} * loop_length;
}

RenderResult RenderSong(const std::string& song_path, const RenderOptions& options,
                        const AudioSink& sink, const ProgressSink& progress) {
  RenderResult result;
  std::vector<uint8_t> bytes;
  auto parsed = std::make_unique<org::ParsedSong>();
  if (!platform::ReadDataFile(song_path, 1 << 20, &bytes)) {
    result.error = "cannot read the file";
    return result;
  }
  const org::ParseResult parse = org::ParseOrgSong(bytes.data(), bytes.size(), parsed.get());
  if (parse != org::ParseResult::kOk) {
    result.error = parse == org::ParseResult::kNotOrg
                       ? "not an Org song"
                       : "a damaged Org song (it ends early or a count is too large)";
    return result;
  }
  if (parsed->wait == 0) {
    result.error = "the song's step length is 0 ms";
    return result;
  }

  org::ResetEngine();
  platform::OfflineOutputOptions output_options;
  output_options.caps.max_secondary_rate = static_cast<uint32_t>(options.rate);
  auto output = std::make_unique<platform::OfflineAudioOutput>(output_options);
  platform::OfflineAudioOutput* out = output.get();
  std::unique_ptr<platform::MixingSoundDevice> device =
      platform::MixingSoundDevice::Create(std::move(output));
  device->CreatePrimaryBuffer();
  device->SetPrimaryFormat({platform::kWaveFormatPcm, 2, static_cast<uint32_t>(options.rate),
                            static_cast<uint32_t>(options.rate) * 4, 4, 16, 0});
  device->mixer().SetInterpolation(options.nearest ? platform::Interpolation::kNearest
                                                   : platform::Interpolation::kLinear);
  org::SetEngineSoundDevice(device.get());
  if (!org::LoadWaveBank(options.bank_path.c_str())) {
    org::ResetEngine();
    result.error = "cannot read the waveform bank " + options.bank_path;
    return result;
  }
  org::InitSong();
  org::SetDrumFolderOverride(options.drums_folder);
  // Problems are reported by the caller from the result, not by message boxes.
  platform::SetNoticeSink([](const std::string&, const std::string&) {});
  const bool loaded = org::LoadOrgSong(song_path.c_str());
  platform::SetNoticeSink({});
  if (!loaded) {
    org::ResetEngine();
    result.error = "cannot load the song";
    return result;
  }
  result.missing_drums = MissingDrums(*parsed, song_path, options.drums_folder);
  Mute(options.muted_tracks);

  const double wait_ms = parsed->wait;
  const double frames_per_ms = options.rate / 1000.0;
  const int64_t fade_frames = std::llround(std::max(0.0, options.fade_seconds) * options.rate);
  const int64_t total = PlannedFrames(*parsed, options);
  const int64_t body_frames = total - fade_frames;

  std::vector<int16_t> block(2 * kBlockFrames);
  int64_t done = 0;
  int64_t tick = 1;
  while (done < total) {
    const int64_t next_tick = std::llround(tick * wait_ms * frames_per_ms);
    const int64_t until = std::min({next_tick, total, done + kBlockFrames});
    const int frames = static_cast<int>(until - done);
    if (frames > 0) {
      out->Render(block.data(), frames);
      if (done + frames > body_frames) {
        for (int i = 0; i < frames; ++i) {
          const int64_t into_fade = done + i - body_frames;
          if (into_fade < 0) continue;
          const double gain =
              1.0 - static_cast<double>(into_fade) / static_cast<double>(fade_frames);
          block[2 * i] = static_cast<int16_t>(std::lround(block[2 * i] * gain));
          block[2 * i + 1] = static_cast<int16_t>(std::lround(block[2 * i + 1] * gain));
        }
      }
      sink(block.data(), frames);
      done = until;
      if (progress) progress(static_cast<double>(done) / static_cast<double>(total));
    }
    if (done == next_tick && done < total) {
      org::SongTick();
      ++tick;
    }
  }
  result.frames = total;
  result.ok = true;
  org::ResetEngine();
  return result;
}

}  // namespace render
