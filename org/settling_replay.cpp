#include "org/settling_replay.h"

#include <algorithm>

#include "org/replay_voices.h"

namespace org {
template <typename Voices>
typename SettlingReplay<Voices>::Start SettlingReplay<Voices>::HoldTo(int64_t last,
                                                                      ReplayPosition* at) {
  // Worth it only where the held ticks would be many more than the ones replayed after them.
  const int64_t ticks_left = clock_.TicksBefore(at->next_tick, last);
  if (ticks_left <= 4 * kSettlingTicks) return Start::kNotTried;
  if (!voices_.SaveCheckpoint(&start_voices_)) return Start::kNotTried;
  start_ = *at;
  start_engine_ = engine_.Save();
  held_calls_ = platform::VoiceCallLog(platform::VoiceCallLog::Follows::kWhatChangesHowTheyPlay);
  if (!voices_.StartLog(&held_calls_)) return Start::kNotTried;
  const int64_t per_pass = (loop_.loop_steps() + kMomentsPerPass - 1) / kMomentsPerPass;
  moment_spacing_ = std::max(kSettlingTicks, per_pass);
  // The moments of two passes and the one after (each some 7 kB): room made once, not grown
  // by copies as they come.
  moments_.reserve(2 * kMomentsPerPass + 2);
  engine_.HoldVoiceControls(true);
  const bool held = HeldTicksTo(at->next_tick + ticks_left - kSettlingTicks, at);
  // What the held ticks played is stopped, so that the log knows it, but for the buffers whose
  // last play, once to their end, surely ended by now: those are put back where that leaves
  // them, unlogged (their state is known).
  const int64_t now = at->frame;
  const MelodyVoiceSet::RanOutTest ran_out = [&](int64_t tick, uint32_t frames, uint32_t rate) {
    const uint64_t step =
        platform::StepForRate(rate == 0 ? platform::kMinFrequency : rate, clock_.rate());
    const platform::VoiceTravel end = platform::VoiceTravel{frames} << 32;
    const int64_t since = now - clock_.FrameOf(tick);
    return since >= 0 && platform::VoiceTravel(static_cast<uint64_t>(since)) * step >= end;
  };
  engine_.melody().StopTouched(ran_out);
  engine_.drums().StopTouched(ran_out);
  engine_.HoldVoiceControls(false);
  voices_.StopLog();
  engine_.melody().RewindRanOut(ran_out);
  engine_.drums().RewindRanOut(ran_out);
  moments_.clear();
  if (held) {
    // Each buffer gets the last setting the held ticks gave it: a tuning, pan or volume changes
    // nothing of where a voice stands, only how it goes on from there.
    engine_.melody().GiveHeld(engine_.melody().held());
    engine_.drums().GiveHeld(engine_.drums().held());
    window_calls_ = platform::VoiceCallLog(platform::VoiceCallLog::Follows::kWhatSettles);
    if (voices_.StartLog(&window_calls_)) return Start::kHeld;
  }
  GoBack(at);
  return Start::kFailed;
}

template <typename Voices>
bool SettlingReplay<Voices>::HeldTicksTo(int64_t window_tick, ReplayPosition* at) {
  int64_t tick = at->next_tick;
  bool jumped = false;
  // Counted from the first loop start this replay meets (it may start anywhere in the song).
  const int64_t most_tick =
      SaturatingAdd(std::max(tick, loop_.first_loop_start()),
                    SaturatingMultiply(kMostSearchedPasses + 1, loop_.loop_steps()));
  while (tick < window_tick) {
    if (!jumped && TicksToMoment(tick) == 0) {
      jumped = KeepOrJump(window_tick, &tick);
      if (!jumped && tick > most_tick) return false;  // it does not come round soon
    }
    engine_.SetHeldTick(tick);
    engine_.Tick();
    ++tick;
    const int64_t limit = window_tick - tick;
    tick += engine_.SkipIdleSteps(jumped ? limit : std::min(limit, TicksToMoment(tick)));
  }
  *at = {clock_.FrameOf(tick), tick};
  return true;
}

template <typename Voices>
int64_t SettlingReplay<Voices>::TicksToMoment(int64_t tick) const {
  const int64_t first = loop_.first_loop_start();
  if (tick <= first) return first - tick;
  const int64_t into_pass = (tick - first) % loop_.loop_steps();
  const int64_t to_next = moment_spacing_ - into_pass % moment_spacing_;
  return into_pass % moment_spacing_ == 0 ? 0 : std::min(to_next, loop_.loop_steps() - into_pass);
}

template <typename Voices>
bool SettlingReplay<Voices>::KeepOrJump(int64_t window_tick, int64_t* tick) {
  const int64_t pass = loop_.loop_steps();
  // Moments more than two passes back are of no more use.
  while (!moments_.empty() && moments_.front().tick < *tick - 2 * pass)
    moments_.erase(moments_.begin());
  for (const Moment& before : moments_) {
    const int64_t back = *tick - before.tick;
    if (back % pass != 0 || !engine_.Matches(before.engine)) continue;
    // From `before` on, every `back` ticks play the same steps and make the same calls (the held
    // settings and the log of what was played hold one round of them): the ticks land at the
    // moment of this round that whole rounds on comes last before the window.
    const Moment* best = nullptr;
    int64_t best_landing = 0;
    for (const Moment& moment : moments_) {
      if (moment.tick < before.tick) continue;
      const int64_t rounds = (window_tick - moment.tick) / back;
      const int64_t landing = moment.tick + rounds * back;
      if (rounds >= 1 && landing > best_landing) {
        best = &moment;
        best_landing = landing;
      }
    }
    if (!best) return false;
    const int64_t rounds = (best_landing - best->tick) / back;
    engine_.Restore(best->engine, (best_landing - best->tick) / pass);
    engine_.melody().SetHeld(MelodyVoiceSet::RoundsOn(best->melody, engine_.melody().held(),
                                                      before.melody_order, rounds, back));
    engine_.drums().SetHeld(DrumSlotSet::RoundsOn(best->drums, engine_.drums().held(),
                                                  before.drum_order, rounds, back));
    *tick = best_landing;
    return true;
  }
  Moment& kept = moments_.emplace_back();
  kept.tick = *tick;
  kept.engine = engine_.Save();
  kept.melody = engine_.melody().held();
  kept.drums = engine_.drums().held();
  kept.melody_order = engine_.melody().held_order();
  kept.drum_order = engine_.drums().held_order();
  return false;
}

template <typename Voices>
bool SettlingReplay<Voices>::Landed(ReplayPosition* at) {
  voices_.StopLog();
  if (window_calls_.ForgetsWhatChangedIn(held_calls_)) return true;
  GoBack(at);
  return false;
}

template <typename Voices>
void SettlingReplay<Voices>::GoBack(ReplayPosition* at) {
  // The voices in use are the ones kept (a replay makes and releases none).
  voices_.RestoreCheckpoint(start_voices_);
  engine_.Restore(start_engine_, 0);
  *at = start_;
}

template class SettlingReplay<MixerVoices>;
template class SettlingReplay<DeviceVoices>;

}  // namespace org
