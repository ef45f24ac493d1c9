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

// The ticks to come (from `at.next_tick` on) whose frames lie before `frame`: from an estimate,
// then exactly.
int64_t TicksBefore(uint16_t wait, int rate, const ReplayPosition& at, int64_t frame) {
  const double per_tick = static_cast<double>(wait) * rate / 1000.0;
  int64_t last = static_cast<int64_t>(static_cast<double>(frame) / per_tick);
  while (last >= at.next_tick && FrameOfTick(wait, rate, last) >= frame) --last;
  while (FrameOfTick(wait, rate, last + 1) < frame) ++last;
  return std::max<int64_t>(0, last - at.next_tick + 1);
}

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
  bool Repeats(Engine& engine, platform::SoundMixer& mixer, const ReplayPosition& at,
               int64_t* ticks, int64_t* frames, int64_t* passes) {
    if (comparisons_ >= kMostComparisons) return false;
    // Where within a frame the tick falls: its frame is tick × wait × rate / 1000, rounded.
    const int64_t phase =
        static_cast<int64_t>((static_cast<Wide>(at.next_tick) * per_tick_) % 1000);
    if (has_kept_) {
      ++passes_;
      if (phase == kept_phase_ && engine.MatchesSnapshot()) {
        ++comparisons_;
        if (mixer.VoicesMatchSnapshot()) {
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
    mixer.SaveVoiceSnapshot();
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

void ReplayTo(Engine& engine, platform::SoundMixer& mixer, int rate, int64_t target, int64_t end,
              ReplayPosition* at) {
  const uint16_t wait = engine.song().wait;
  const int64_t last = std::min(target, end);  // ticks before this frame play
  RepeatFinder finder(engine.song(), rate);
  bool searching = true;
  while (at->frame < target) {
    const int64_t tick_frame = FrameOfTick(wait, rate, at->next_tick);
    if (tick_frame >= last) {
      mixer.AdvanceFrames(target - at->frame);
      at->frame = target;
      break;
    }
    mixer.AdvanceFrames(tick_frame - at->frame);
    at->frame = tick_frame;
    int64_t ticks = 0, frames = 0, passes = 0;
    if (searching && finder.AtLoopStart(at->next_tick) &&
        finder.Repeats(engine, mixer, *at, &ticks, &frames, &passes)) {
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
    at->next_tick += engine.SkipIdleSteps(TicksBefore(wait, rate, *at, last));
  }
}

}  // namespace org
