#include "org/step_replay.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace org {
namespace {

// The ticks to come (from `at.next_tick` on) whose frames lie before `frame`: from an estimate,
// then exactly.
int64_t TicksBefore(uint16_t wait, int rate, const ReplayPosition& at, int64_t frame) {
  const double per_tick = static_cast<double>(wait) * rate / 1000.0;
  int64_t last = static_cast<int64_t>(static_cast<double>(frame) / per_tick);
  while (last >= at.next_tick && FrameOfTick(wait, rate, last) >= frame) --last;
  while (FrameOfTick(wait, rate, last + 1) < frame) ++last;
  return std::max<int64_t>(0, last - at.next_tick + 1);
}

}  // namespace

int64_t FrameOfTick(uint16_t wait, int rate, int64_t tick) {
  // In this order and in doubles, so that every render keeps its bytes.
  const double frames_per_ms = rate / 1000.0;
  const double frame = static_cast<double>(tick) * static_cast<double>(wait) * frames_per_ms;
  // Past what 64 bits hold (a week-long loop repeated 2^30 times): saturated, never reached.
  if (!(frame < 9.2e18)) return std::numeric_limits<int64_t>::max();
  return std::llround(frame);
}

void ReplayTo(Engine& engine, platform::SoundMixer& mixer, int rate, int64_t target, int64_t end,
              ReplayPosition* at) {
  const uint16_t wait = engine.song().wait;
  const int64_t last = std::min(target, end);  // ticks before this frame play
  while (at->frame < target) {
    const int64_t tick_frame = FrameOfTick(wait, rate, at->next_tick);
    if (tick_frame >= last) {
      mixer.AdvanceFrames(target - at->frame);
      at->frame = target;
      break;
    }
    mixer.AdvanceFrames(tick_frame - at->frame);
    at->frame = tick_frame;
    engine.Tick();
    ++at->next_tick;
    // Steps that change nothing are passed over at once: a long silence (or a damaged song's
    // endless gap) costs no more than one step. Only those whose ticks fall before the target.
    at->next_tick += engine.SkipIdleSteps(TicksBefore(wait, rate, *at, last));
  }
}

}  // namespace org
