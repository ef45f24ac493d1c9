// One song rendered offline, frame by frame: an Engine on a device of its own, its ticks placed
// exactly (tick k, k = 1, 2, ..., at frame round(k × wait ms × rate / 1000): the first step sounds
// one step after the start, as the jukebox's timer plays it), ended after a number of passes of
// the loop (or a number of frames), with a linear fade after the end. Renders 16-bit or float
// frames, seeks exactly (a replay of the steps before the frame that moves the voices without
// mixing them), and mutes tracks live. For games it can be steered while it plays: a tempo
// factor (the ticks placed by a TickClock), a transposition, track and master gains with fades,
// notes over the song (NoteVoices), and the loop's passes and next start frame; each is neutral
// at its default. The engine behind liborgsynth and the export tools.
// One thread at a time; different renderers are independent.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "org/engine.h"
#include "org/note_voices.h"
#include "org/step_replay.h"
#include "org/tick_clock.h"
#include "runtime/platform/audio_output.h"

namespace org {

struct RenderSettings {
  int rate = platform::kDefaultOutputRate;  // frames per second, 8000..192000
  bool nearest = false;  // nearest-sample resampling instead of linear interpolation
  std::shared_ptr<const WaveBank> bank;  // null: the built-in bank
  DrumProvider drums;                    // empty: the built-in kit
};

enum class RenderError { kNone, kNotOrg, kDamaged, kZeroWait, kBadRate };

class SongRenderer {
 public:
  // Opens a song from file bytes; null with `error` (and a one-line reason) when it is not one.
  static std::unique_ptr<SongRenderer> Open(const uint8_t* data, size_t size,
                                            const RenderSettings& settings, RenderError* error,
                                            std::string* reason, LoadReport* report = nullptr);

  const ParsedSong& song() const { return engine_->song(); }
  Engine& engine() { return *engine_; }
  const Engine& engine() const { return *engine_; }
  int rate() const { return rate_; }

  // Where the render ends. Repeat count -1: never (the default); n >= 0: the intro and the loop
  // n + 1 times (the render org2wav --loops n+1 makes). Or an end at a frame (-1: none). The
  // end fade, a straight line from full gain to silence over `frames` frames (org/fades.h says
  // how it differs from the game's master-volume fade), follows the end. Changing the end keeps
  // the position.
  void SetRepeatCount(int count);
  int repeat_count() const { return repeat_count_; }
  void SetEndFrame(int64_t frame);
  void SetEndFadeFrames(int64_t frames);
  // Frames from the start to the end of the fade; -1 when endless; at most INT64_MAX (an end
  // that far is never reached).
  int64_t Length() const;
  // The frame the body (before the fade) ends at; -1 when endless.
  int64_t BodyEnd() const;

  // Renders up to `frames` frames; fewer only at the end (0 after it). 16-bit saturated, or the
  // same mix before saturation scaled by 1 / 32768 (the fade applies before either).
  size_t RenderS16(int16_t* stereo, size_t frames);
  size_t RenderF32(float* stereo, size_t frames);
  // Moves to `frame` exactly (past the end: to the end); Position() says where it landed.
  void Seek(uint64_t frame);
  uint64_t Position() const { return static_cast<uint64_t>(done_); }

  // Track levels: the peak of each track's own output over the last render call (0..1 and
  // above when loud) — kept while metering is on (off by default: it costs about a fifth more).
  void SetMetering(bool on);
  float TrackPeak(int track);
  // Track scopes: keeps the last `frames` frames of each track's own signal (0: off).
  // Allocates.
  void SetScopeFrames(int frames);
  int scope_frames() const { return static_cast<int>(scope_scratch_.size()); }
  // The newest min(count, scope frames) values of the track's scope, oldest first.
  int CopyScope(int track, float* mono, int count);

  // Interactive controls (each neutral at its default: the render is then exactly as without).
  // Tempo: steps last wait / factor ms from the position on (pitch kept); a seek afterwards
  // places the song as a render from the start at this factor would. 0.25..4.
  void SetTempoFactor(double factor);
  double tempo_factor() const { return clock_.factor(); }
  // Transposition of the melody tracks (and of the drums too when `drums`), in semitones and
  // cents: every rate times 2^(cents total / 1200). Sounding notes are retuned at once.
  void SetTranspose(int semitones, int cents, bool drums);
  int transpose_semitones() const { return transpose_semitones_; }
  int transpose_cents() const { return transpose_cents_; }
  bool transpose_drums() const { return transpose_drums_; }
  // The gain 0..1 of track 0..15's own output (-1: the whole mix), reached linearly over
  // `frames` frames from the position on. A seek completes a fade under way.
  void SetTrackGain(int track, double gain, int64_t frames);
  double track_gain(int track) const;
  NoteVoices& notes() { return *notes_; }
  // How many times playback has come back to the loop start in the frames rendered so far.
  int LoopPass() const;
  // The first frame at or after the position on which the loop start sounds again; -1 when it
  // never will (a song without a loop, or one that ends first).
  int64_t NextLoopFrame() const;

  // The frame on which tick `tick` falls (at the tempo factor, as the render places it).
  int64_t TickFrame(int64_t tick) const;
  // The same, as if the tempo factor had held from the start (the song's facts).
  int64_t TickFrameFromStart(int64_t tick) const;
  // Steps the render covers for `passes` passes of the loop (1: to the loop end once).
  static int64_t StepsForPasses(const ParsedSong& song, int64_t passes);

 private:
  SongRenderer(std::unique_ptr<Engine> engine, int rate);
  // Mixes `frames` frames into `wide` (unsaturated), ticking where ticks fall. Returns frames.
  size_t RenderWide(size_t frames);
  // The end fade's gain at `frame` (a frame of the fade: 1 at the end, falling towards 0).
  double EndFadeGain(int64_t frame) const;
  // Fades the `count` unsaturated frames in `wide_` that begin at frame `first`.
  void ApplyEndFade(int64_t first, size_t count);

  // The tick at which the loop start sounds after the pass-th return (pass >= 1); -1 when the
  // loop never returns.
  int64_t PassTick(int64_t pass) const;
  // The first tick whose frame is at or after the position.
  int64_t TickAtOrAfterPosition() const;

  std::unique_ptr<Engine> engine_;
  std::unique_ptr<NoteVoices> notes_;  // released before the engine's buffers it shares
  int rate_;
  TickClock clock_;
  int transpose_semitones_ = 0;
  int transpose_cents_ = 0;
  bool transpose_drums_ = false;
  int repeat_count_ = -1;
  int64_t end_frame_ = -1;
  int64_t end_fade_frames_ = 0;
  int64_t done_ = 0;       // frames rendered (the position)
  int64_t next_tick_ = 1;  // the tick to come
  // The state is the one a replay from the start at today's tempo and transposition reaches
  // (false after a transposition changed while playing, until a seek rewinds).
  bool replayable_ = true;
  bool metering_ = false;
  std::unique_ptr<int32_t[]> wide_;  // one block of unsaturated frames
  std::vector<int32_t> scope_scratch_;
};

}  // namespace org
