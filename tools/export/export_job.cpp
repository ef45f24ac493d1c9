#include "tools/export/export_job.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/export/encoded_writer.h"
#include "tools/output/safe_output.h"
#include "tools/render/wav_writer.h"

namespace exporting {
namespace {

// Scales a block by `gain` (linear), rounding; the gain was chosen so that nothing clips, and
// anything that would is held at full scale.
void ApplyGain(const int16_t* in, int16_t* out, size_t samples, double gain) {
  for (size_t i = 0; i < samples; ++i)
    out[i] = static_cast<int16_t>(std::clamp<long>(std::lround(in[i] * gain), -32768, 32767));
}

// Where the rendered frames go: the WAV writer, or the encoder.
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual bool Write(const int16_t* stereo, size_t frames) = 0;
  virtual bool Finish(std::string* error) = 0;
  virtual void Abandon() = 0;
};

class WavSink final : public FrameSink {
 public:
  bool Open(const std::string& path, const ExportOptions& o, uint64_t frames,
            const std::optional<LoopRegion>& loop, std::string* error) {
    std::vector<uint8_t> trailing;
    if (loop)
      trailing = render::SamplerLoopChunk(o.render.rate, static_cast<uint64_t>(loop->start),
                                          static_cast<uint64_t>(loop->length));
    const std::vector<uint8_t> info =
        render::InfoListChunk(o.tags.title, o.tags.artist, o.tags.album, o.tags.track);
    trailing.insert(trailing.end(), info.begin(), info.end());
    return writer_.Open(path, o.render.rate, 2, frames, error, std::move(trailing));
  }
  bool Write(const int16_t* stereo, size_t frames) override {
    return writer_.Write(stereo, frames);
  }
  bool Finish(std::string* error) override { return writer_.Finish(error); }
  void Abandon() override { writer_.Abandon(); }

 private:
  render::WavWriter writer_;
};

class EncodedSink final : public FrameSink {
 public:
  EncodedSink(const std::string& path, const ExportOptions& o) : path_(path), options_(o) {}
  bool Open(std::string* error) {
    // The output is opened first, so that a path that cannot be written fails before the work.
    if (!output_.Open(path_, error)) return false;
    if (encoder_.Open(options_.format, options_.render.rate, options_.quality, error)) return true;
    output_.Abandon();
    return false;
  }
  void SetTags(SoundTags tags) { tags_ = std::move(tags); }
  bool Write(const int16_t* stereo, size_t frames) override {
    return encoder_.Write(stereo, frames);
  }
  bool Finish(std::string* error) override {
    std::vector<uint8_t> bytes;
    if (!encoder_.Finish(&bytes, error) || !ApplyTags(options_.format, tags_, &bytes, error)) {
      output_.Abandon();
      return false;
    }
    output_.Write(bytes.data(), bytes.size());  // a failed write is reported by the commit
    return output_.Commit(error);
  }
  void Abandon() override { output_.Abandon(); }

 private:
  std::string path_;
  const ExportOptions& options_;
  tools::SafeOutput output_;
  EncodedWriter encoder_;
  SoundTags tags_;
};

}  // namespace

std::optional<LoopRegion> LoopRegionOf(const org::ParsedSong& song, int rate) {
  const int64_t length_steps = int64_t{song.loop_end} - song.loop_start;
  if (song.loop_end <= 0 || length_steps <= 0 || song.wait == 0) return std::nullopt;
  // Step n sounds at tick n + 1; the second pass plays steps loop_end .. loop_end + length - 1.
  const int64_t start = render::TickFrame(song, rate, int64_t{song.loop_end} + 1);
  const int64_t end = render::TickFrame(song, rate, int64_t{song.loop_end} + length_steps + 1);
  return LoopRegion{start, end - start};
}

std::string ProblemWithExport(const org::ParsedSong& song, const ExportOptions& options) {
  if (!RateFits(options.format, options.render.rate))
    return std::string(FormatName(options.format)) + " encodes only 8000, 12000, 16000, 24000 " +
           "and 48000 Hz, not " + std::to_string(options.render.rate);
  if (!CanWrite(options.format, options.render.rate))
    return std::string("this machine's libsndfile cannot write ") + FormatName(options.format) +
           " files";
  if (options.loop_tags) {
    if (!LoopRegionOf(song, options.render.rate)) return "--loop-tags: the song has no loop";
    if (options.render.seconds >= 0 || options.render.fade_seconds > 0 ||
        options.render.start_seconds > 0)
      return "--loop-tags marks the loop of a whole render: not with --seconds, --fade or --start";
    if (options.render.loops < 2)
      return "--loop-tags marks the loop's second pass: it needs --loops 2 or more";
  }
  return {};
}

Loudness MeasureSong(const std::string& song_path, const render::RenderOptions& options) {
  LoudnessMeter meter(options.rate);
  render::RenderSong(song_path, options, [&](const int16_t* stereo, int frames) {
    meter.Add(stereo, static_cast<size_t>(frames));
  });
  return meter.Result();
}

std::string ShortOfTargetNote(const ExportResult& result, double target_lufs) {
  if (result.short_of_target_lu < 0.1) return {};
  char note[160];
  std::snprintf(note, sizeof note,
                "%.1f LU below the %.1f LUFS asked: louder, its true peak would pass -1 dBTP",
                result.short_of_target_lu, target_lufs);
  return note;
}

ExportResult ExportSong(const org::ParsedSong& song, const std::string& song_path,
                        const std::string& out_path, const ExportOptions& o,
                        const ProgressSink& progress) {
  ExportResult result;
  const bool measure_first = o.normalize_lufs.has_value();
  // A first pass measures the loudness the gain is worked out from; each pass is half the work.
  if (measure_first) {
    const Loudness measured = MeasureSong(song_path, o.render);
    result.gain_db = NormalizingGainDb(measured, *o.normalize_lufs);
    result.short_of_target_lu = *o.normalize_lufs - measured.integrated_lufs - result.gain_db;
    if (progress) progress(0.5);
  }
  const double gain = std::pow(10.0, result.gain_db / 20);
  const uint64_t frames = static_cast<uint64_t>(render::PlannedFrames(song, o.render));
  std::optional<LoopRegion> loop;
  if (o.loop_tags) loop = LoopRegionOf(song, o.render.rate);

  std::unique_ptr<FrameSink> sink;
  EncodedSink* encoded = nullptr;
  if (o.format == AudioFormat::kWav) {
    auto wav = std::make_unique<WavSink>();
    if (!wav->Open(out_path, o, frames, loop, &result.error)) return result;
    sink = std::move(wav);
  } else {
    auto compressed = std::make_unique<EncodedSink>(out_path, o);
    if (!compressed->Open(&result.error)) return result;
    encoded = compressed.get();
    sink = std::move(compressed);
  }
  // Loudness is measured while writing only for the ReplayGain tags: its true-peak measurement
  // costs many times the render itself.
  std::optional<LoudnessMeter> meter;
  if (o.replaygain && encoded) meter.emplace(o.render.rate);
  std::vector<int16_t> scaled;
  bool written = true;
  const render::RenderResult rendered = render::RenderSong(
      song_path, o.render,
      [&](const int16_t* stereo, int count) {
        const int16_t* block = stereo;
        if (gain != 1.0) {
          scaled.resize(2 * static_cast<size_t>(count));
          ApplyGain(stereo, scaled.data(), scaled.size(), gain);
          block = scaled.data();
        }
        if (meter) meter->Add(block, static_cast<size_t>(count));
        written = sink->Write(block, static_cast<size_t>(count)) && written;
      },
      [&](double fraction) {
        if (progress) progress(measure_first ? 0.5 + fraction / 2 : fraction);
      });
  result.missing_drums = rendered.missing_drums;
  if (!rendered.ok) {
    sink->Abandon();
    result.error = rendered.error;
    return result;
  }
  if (encoded) {
    SoundTags tags = o.tags;
    if (loop.has_value()) {
      const LoopRegion region = loop.value();
      tags.loop_start = region.start;
      tags.loop_length = region.length;
    }
    if (meter) {
      const Loudness written = meter->Result();
      tags.replaygain_gain_db = ReplayGainDb(written);
      tags.replaygain_peak = written.true_peak;
    }
    encoded->SetTags(std::move(tags));
  }
  if (!sink->Finish(&result.error)) return result;
  result.ok = written;
  if (!written) result.error = out_path + ": the output could not be written";
  return result;
}

}  // namespace exporting
