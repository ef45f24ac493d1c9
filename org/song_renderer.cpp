#include "org/song_renderer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "org/song_loop.h"
#include "runtime/platform/mixing_sound_device.h"
#include "runtime/platform/sound_mixer_simd.h"

namespace org {
namespace {

constexpr int kBlockFrames = 4096;
constexpr int64_t kNoEnd = std::numeric_limits<int64_t>::max();

}  // namespace

std::unique_ptr<SongRenderer> SongRenderer::Open(const uint8_t* data, size_t size,
                                                 const RenderSettings& settings, RenderError* error,
                                                 std::string* reason, LoadReport* report) {
  auto fail = [&](RenderError code, const char* why) {
    if (error) *error = code;
    if (reason) *reason = why;
    return nullptr;
  };
  if (settings.rate < 8000 || settings.rate > 192000)
    return fail(RenderError::kBadRate, "the sample rate is outside 8000..192000 Hz");
  std::unique_ptr<Engine> engine = Engine::Offline(settings.rate, settings.nearest);
  engine->SetWaveBank(settings.bank ? settings.bank : WaveBank::BuiltIn());
  const LoadReport loaded =
      engine->Load(data, size, settings.drums ? settings.drums : BuiltInDrums());
  if (report) *report = loaded;
  if (loaded.status == LoadStatus::kNotOrg) return fail(RenderError::kNotOrg, "not an Org song");
  if (loaded.status == LoadStatus::kDamaged)
    return fail(RenderError::kDamaged,
                "a damaged Org song (it ends early or a count is too large)");
  if (engine->song().wait == 0)
    return fail(RenderError::kZeroWait, "the song's step length is 0 ms");
  if (error) *error = RenderError::kNone;
  return std::unique_ptr<SongRenderer>(new SongRenderer(std::move(engine), settings.rate));
}

SongRenderer::SongRenderer(std::unique_ptr<Engine> engine, int rate)
    : engine_(std::move(engine)), rate_(rate), wide_(new int32_t[2 * kBlockFrames]) {
  engine_->device()->SetGroupMetering(metering_);
}

int64_t SongRenderer::StepsForPasses(const ParsedSong& song, int64_t passes) {
  return LoopOf(song).StepsForPasses(passes);
}

int64_t SongRenderer::TickFrame(int64_t tick) const {
  return FrameOfTick(song().wait, rate_, tick);
}

void SongRenderer::SetRepeatCount(int count) {
  repeat_count_ = count < 0 ? -1 : count;
  end_frame_ = -1;
}

void SongRenderer::SetEndFrame(int64_t frame) { end_frame_ = frame < 0 ? -1 : frame; }

void SongRenderer::SetFadeFrames(int64_t frames) { fade_frames_ = std::max<int64_t>(frames, 0); }

int64_t SongRenderer::BodyEnd() const {
  if (end_frame_ >= 0) return end_frame_;
  if (repeat_count_ < 0) return -1;
  // Saturated: INT_MAX repeats of a week-long loop end past any frame a render reaches.
  return TickFrame(SaturatingAdd(StepsForPasses(song(), int64_t{repeat_count_} + 1), 1));
}

int64_t SongRenderer::Length() const {
  const int64_t body = BodyEnd();
  return body < 0 ? -1 : SaturatingAdd(body, fade_frames_);
}

size_t SongRenderer::RenderWide(size_t frames) {
  const int64_t length = Length();
  const int64_t total = length < 0 ? kNoEnd : length;
  platform::SoundMixer& mixer = engine_->own_device()->mixer();
  size_t produced = 0;
  while (produced < frames && done_ < total) {
    const int64_t tick_frame = TickFrame(next_tick_);
    // A tick plays as its frame is about to be mixed, not when a render call ends on it: the
    // step reported after a call is the one its last frame sounded.
    if (done_ == tick_frame) {
      engine_->Tick();
      ++next_tick_;
      continue;
    }
    const int64_t until =
        std::min({tick_frame, total, done_ + static_cast<int64_t>(frames - produced)});
    const int count = static_cast<int>(until - done_);
    mixer.RenderUnsaturated(wide_.get() + 2 * produced, count);
    produced += static_cast<size_t>(count);
    done_ = until;
  }
  return produced;
}

double SongRenderer::FadeGain(int64_t frame) const {
  const int64_t into_fade = frame - BodyEnd();
  return 1.0 - static_cast<double>(into_fade) / static_cast<double>(fade_frames_);
}

void SongRenderer::FadeWide(int64_t first, size_t count) {
  const int64_t body_end = BodyEnd();
  if (body_end < 0 || fade_frames_ == 0 || first + static_cast<int64_t>(count) <= body_end) return;
  for (size_t i = 0; i < count; ++i) {
    const int64_t frame = first + static_cast<int64_t>(i);
    if (frame < body_end) continue;
    // The mix is faded before it is saturated (or scaled to floats), so that the two outputs
    // agree wherever the 16-bit one does not saturate, fade or not.
    const double gain = FadeGain(frame);
    for (size_t c = 2 * i; c < 2 * i + 2; ++c)
      wide_[c] = static_cast<int32_t>(std::lround(wide_[c] * gain));
  }
}

size_t SongRenderer::RenderS16(int16_t* stereo, size_t frames) {
  engine_->device()->ResetGroupPeaks();
  size_t done = 0;
  while (done < frames) {
    const int64_t first = done_;
    const size_t count = RenderWide(std::min<size_t>(frames - done, kBlockFrames));
    if (count == 0) break;
    FadeWide(first, count);
    platform::SaturateToInt16(wide_.get(), stereo + 2 * done, static_cast<int>(2 * count));
    done += count;
  }
  return done;
}

size_t SongRenderer::RenderF32(float* stereo, size_t frames) {
  engine_->device()->ResetGroupPeaks();
  size_t done = 0;
  while (done < frames) {
    const int64_t first = done_;
    const size_t count = RenderWide(std::min<size_t>(frames - done, kBlockFrames));
    if (count == 0) break;
    FadeWide(first, count);
    float* out = stereo + 2 * done;
    // 1/32768 is a power of two: the scaling is exact for every value a mix can hold.
    for (size_t i = 0; i < 2 * count; ++i) out[i] = static_cast<float>(wide_[i]) * (1.0f / 32768);
    done += count;
  }
  return done;
}

void SongRenderer::Seek(uint64_t frame) {
  const int64_t length = Length();
  const int64_t total = length < 0 ? kNoEnd : length;
  const int64_t target =
      static_cast<int64_t>(std::min<uint64_t>(frame, static_cast<uint64_t>(total)));
  if (target < done_) {
    engine_->Rewind();
    done_ = 0;
    next_tick_ = 1;
  }
  ReplayPosition at{done_, next_tick_};
  ReplayTo(*engine_, engine_->own_device()->mixer(), rate_, target, total, &at);
  done_ = at.frame;
  next_tick_ = at.next_tick;
}

void SongRenderer::SetMetering(bool on) {
  metering_ = on;
  engine_->device()->SetGroupMetering(on);
}

float SongRenderer::TrackPeak(int track) {
  if (!metering_) return 0.0f;
  return static_cast<float>(engine_->device()->GroupPeak(track)) / 32768.0f;
}

void SongRenderer::SetScopeFrames(int frames) {
  frames = std::max(frames, 0);
  engine_->device()->SetGroupTapFrames(frames);
  scope_scratch_.assign(static_cast<size_t>(frames), 0);
}

int SongRenderer::CopyScope(int track, float* mono, int count) {
  count = std::min(count, static_cast<int>(scope_scratch_.size()));
  if (count <= 0) return 0;
  const int copied = engine_->device()->CopyGroupTap(track, scope_scratch_.data(), count);
  for (int i = 0; i < copied; ++i) mono[i] = static_cast<float>(scope_scratch_[i]) / 32768.0f;
  return copied;
}

}  // namespace org
