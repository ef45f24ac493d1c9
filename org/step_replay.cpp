#include "org/step_replay.h"

#include <algorithm>
#include <limits>

#include "org/song_loop.h"

namespace org {
namespace {

__extension__ typedef __int128 Wide;

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
// Loop starts compared before the search for a repeat gives up (each costs a comparison of
// every voice): a song whose sound never repeats is replayed step by step, as before.
constexpr int kMostComparisons = 1 << 12;

// Finds where the whole state of a song (its sequencer, every voice's phase, the place of the
// ticks within a frame) at the loop start is what it was some passes before: from there on it
// repeats exactly, so whole repeats can be stepped over at once. Brent's cycle search: one
// state kept, at loop starts 1, 2, 4, 8, ... passes apart.
class RepeatFinder {
 public:
  RepeatFinder(const ParsedSong& song, int rate)
      : loop_(LoopOf(song)), per_tick_(int64_t{song.wait} * rate) {}

  // True when tick `tick` plays the loop start.
  bool AtLoopStart(int64_t tick) const {
    const int64_t first = loop_.intro_steps + 1;
    return tick >= first && (tick - first) % loop_.loop_steps == 0;
  }

  // At a loop start (before its tick plays): true, with the repeat's ticks, frames and passes,
  // when the state is the one kept.
  template <typename Voices>
  bool Repeats(Engine& engine, Voices& voices, const ReplayPosition& at, int64_t* ticks,
               int64_t* frames, int64_t* passes) {
    if (comparisons_ >= kMostComparisons) return false;
    // Where within a frame the tick falls: its frame is tick × wait × rate / 1000, rounded.
    const int64_t phase =
        static_cast<int64_t>((static_cast<Wide>(at.next_tick) * per_tick_) % 1000);
    if (has_kept_) {
      ++passes_;
      if (phase == kept_phase_ && engine.MatchesSnapshot()) {
        ++comparisons_;
        if (voices.MatchesSnapshot()) {
          *ticks = at.next_tick - kept_.next_tick;
          *frames = at.frame - kept_.frame;
          *passes = passes_;
          return true;
        }
      }
      if (passes_ < span_) return false;
      span_ = span_ < (int64_t{1} << 40) ? 2 * span_ : span_;
    }
    engine.SaveSnapshot();
    voices.SaveSnapshot();
    kept_ = at;
    has_kept_ = true;
    kept_phase_ = phase;
    passes_ = 0;
    return false;
  }

 private:
  SongLoop loop_;
  int64_t per_tick_;
  bool has_kept_ = false;
  ReplayPosition kept_;
  int64_t kept_phase_ = 0;
  int64_t passes_ = 0;  // loop starts since the state was kept
  int64_t span_ = 1;    // loop starts to go before keeping a new state
  int comparisons_ = 0;
};

}  // namespace

int64_t FrameOfTick(uint16_t wait, int rate, int64_t tick) {
  // round(tick × wait × rate / 1000) exactly, halves up (in 128 bits: no tick can overflow it);
  // past what 64 bits hold (a week-long loop repeated 2^30 times) it saturates, never reached.
  const Wide frame = (static_cast<Wide>(tick) * wait * rate * 2 + 1000) / 2000;
  return frame > kNever ? kNever : static_cast<int64_t>(frame);
}

namespace {

// The offline mixer's voices, for the renderer's seek.
struct MixerVoices {
  platform::SoundMixer& mixer;
  void Advance(int64_t frames) { mixer.AdvanceFrames(frames); }
  void SaveSnapshot() { mixer.SaveVoiceSnapshot(); }
  bool MatchesSnapshot() { return mixer.VoicesMatchSnapshot(); }
};

// The voices of the engine's own output device, for a player's seek.
struct DeviceVoices {
  platform::SoundDevice& device;
  void Advance(int64_t frames) { device.SeekVoices(frames); }
  void SaveSnapshot() { device.SaveSeekSnapshot(); }
  bool MatchesSnapshot() { return device.SeekVoicesMatchSnapshot(); }
};

// Replays the ticks up to `target` where `clock` places them, moving `voices` (Advance,
// SaveSnapshot, MatchesSnapshot) over the frames between them. Whole repeats of the song's state
// are looked for only at the song's own tempo from the start (the ticks' place within a frame
// then repeats with the loop); under a tempo factor every step is replayed.
template <typename Voices>
void Replay(Engine& engine, Voices& voices, const TickClock& clock, int64_t target, int64_t end,
            ReplayPosition* at) {
  const int64_t last = std::min(target, end);  // ticks before this frame play
  RepeatFinder finder(engine.song(), clock.rate());
  bool searching = clock.factor() == 1.0 && clock.from_start();
  while (at->frame < target) {
    const int64_t tick_frame = clock.FrameOf(at->next_tick);
    if (tick_frame >= last) {
      voices.Advance(target - at->frame);
      at->frame = target;
      break;
    }
    voices.Advance(tick_frame - at->frame);
    at->frame = tick_frame;
    int64_t ticks = 0, frames = 0, passes = 0;
    if (searching && finder.AtLoopStart(at->next_tick) &&
        finder.Repeats(engine, voices, *at, &ticks, &frames, &passes)) {
      // Whole repeats that end before the last tick's frame, one kept back to play through.
      searching = false;
      const int64_t repeats = (last - at->frame) / frames - 1;
      if (repeats > 0) {
        at->frame += repeats * frames;
        at->next_tick += repeats * ticks;
        engine.AddLoopCount(SaturatingMultiply(repeats, passes));
      }
      continue;
    }
    engine.Tick();
    ++at->next_tick;
    // Steps that change nothing are passed over at once: a long silence (or a damaged song's
    // endless gap) costs no more than one step. Only those whose ticks fall before the target.
    at->next_tick += engine.SkipIdleSteps(clock.TicksBefore(at->next_tick, last));
  }
}

}  // namespace

void ReplayTo(Engine& engine, platform::SoundMixer& mixer, int rate, int64_t target, int64_t end,
              ReplayPosition* at) {
  ReplayTo(engine, mixer, TickClock(engine.song().wait, rate), target, end, at);
}

void ReplayTo(Engine& engine, platform::SoundMixer& mixer, const TickClock& clock, int64_t target,
              int64_t end, ReplayPosition* at) {
  MixerVoices voices{mixer};
  Replay(engine, voices, clock, target, end, at);
}

bool SeekOutput(Engine& engine, uint32_t ms, bool resume, OutputSeek* seek) {
  platform::SoundDevice* device = engine.device();
  const int rate = device ? device->SeekRate() : 0;
  if (rate <= 0) return false;
  device->BeginSeek();
  engine.Rewind();
  seek->rate = rate;
  seek->at = ReplayPosition{};
  DeviceVoices voices{*device};
  Replay(engine, voices, TickClock(engine.song().wait, rate), int64_t{ms} * rate / 1000,
         std::numeric_limits<int64_t>::max(), &seek->at);
  device->EndSeek(resume);
  return true;
}

}  // namespace org
