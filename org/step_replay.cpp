#include "org/step_replay.h"

#include <algorithm>
#include <cmath>

namespace org {

int64_t FrameOfTick(uint16_t wait, int rate, int64_t tick) {
  // In this order and in doubles, so that every render keeps its bytes.
  const double frames_per_ms = rate / 1000.0;
  return std::llround(static_cast<double>(tick) * static_cast<double>(wait) * frames_per_ms);
}

void ReplayTo(Engine& engine, platform::SoundMixer& mixer, int rate, int64_t target, int64_t end,
              ReplayPosition* at) {
  ReplayTo(engine, mixer, TickClock(engine.song().wait, rate), target, end, at);
}

void ReplayTo(Engine& engine, platform::SoundMixer& mixer, const TickClock& clock, int64_t target,
              int64_t end, ReplayPosition* at) {
  while (at->frame < target) {
    const int64_t tick_frame = clock.FrameOf(at->next_tick);
    const int64_t until = std::min(tick_frame, target);
    mixer.AdvanceFrames(until - at->frame);
    at->frame = until;
    if (at->frame == tick_frame && at->frame < end) {
      engine.Tick();
      ++at->next_tick;
      // Steps that change nothing are passed over at once: a long silence (or a damaged song's
      // endless gap) costs no more than one step. Only those whose ticks fall before the target.
      at->next_tick +=
          engine.SkipIdleSteps(clock.TicksBefore(at->next_tick, std::min(target, end)));
    }
  }
}

}  // namespace org
