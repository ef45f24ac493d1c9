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

// Replays the ticks up to `target`; `advance(frames)` moves the voices between them.
template <typename Advance>
void Replay(Engine& engine, int rate, int64_t target, int64_t end, ReplayPosition* at,
            Advance advance) {
  const uint16_t wait = engine.song().wait;
  while (at->frame < target) {
    const int64_t tick_frame = FrameOfTick(wait, rate, at->next_tick);
    const int64_t until = std::min(tick_frame, target);
    advance(until - at->frame);
    at->frame = until;
    if (at->frame == tick_frame && at->frame < end) {
      engine.Tick();
      ++at->next_tick;
      // Steps that change nothing are passed over at once: a long silence (or a damaged song's
      // endless gap) costs no more than one step. Only those whose ticks fall before the target.
      at->next_tick += engine.SkipIdleSteps(TicksBefore(wait, rate, *at, std::min(target, end)));
    }
  }
}

}  // namespace

int64_t FrameOfTick(uint16_t wait, int rate, int64_t tick) {
  // In this order and in doubles, so that every render keeps its bytes.
  const double frames_per_ms = rate / 1000.0;
  return std::llround(static_cast<double>(tick) * static_cast<double>(wait) * frames_per_ms);
}

void ReplayTo(Engine& engine, platform::SoundMixer& mixer, int rate, int64_t target, int64_t end,
              ReplayPosition* at) {
  Replay(engine, rate, target, end, at, [&mixer](int64_t frames) { mixer.AdvanceFrames(frames); });
}

bool SeekOutput(Engine& engine, uint32_t ms, bool resume, OutputSeek* seek) {
  platform::SoundDevice* device = engine.device();
  const int rate = device ? device->SeekRate() : 0;
  if (rate <= 0) return false;
  device->BeginSeek();
  engine.Rewind();
  seek->rate = rate;
  seek->at = ReplayPosition{};
  Replay(engine, rate, int64_t{ms} * rate / 1000, std::numeric_limits<int64_t>::max(), &seek->at,
         [device](int64_t frames) { device->SeekVoices(frames); });
  device->EndSeek(resume);
  return true;
}

}  // namespace org
