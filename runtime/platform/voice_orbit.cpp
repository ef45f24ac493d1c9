#include "runtime/platform/voice_orbit.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <unordered_map>
#include <utility>

namespace platform {
namespace {

__extension__ typedef __int128 SignedTravel;

// Repeats worked out one by one (or skipped in a run) per voice before it is given up: a path
// that needs more is replayed by the caller, as before.
constexpr int kMostSteps = 4096;
// The same where repeats start at places within a frame that differ: a cycle then takes a
// multiple of the phases' period (up to 1000 repeats).
constexpr int64_t kMostPhasedSteps = int64_t{1} << 16;
// What a step of a voice's orbit costs of the budget at least (its marks if more): the states
// kept stay within some 8 MB a seek (16 bytes each) however few marks a voice has.
constexpr int64_t kOrbitStepCost = 256;

// What one replay of a voice's marks did from a given state.
struct StretchRun {
  VoiceMotion end;
  // It reached a state that no longer depends on where it started: a one-shot stretch reached
  // its end, or a position call.
  bool settled = false;
  // Until then, each one-shot stretch: where it began (relative to the start, modulo the
  // samples' length) and how far it went. From another start it would reach the end if the
  // start plus that offset lay within that travel of the end.
  std::vector<std::pair<uint64_t, uint64_t>> hazards;
};

// A mark at `time`, from which the voice moves at `step`.
VoiceMark MarkAt(MarkTime time, uint64_t step, VoiceCall call = VoiceCall::kNone,
                 int32_t value = 0) {
  VoiceMark mark;
  mark.frames = time.frames;
  mark.thousandths = time.thousandths;
  mark.step = step;
  mark.call = call;
  mark.value = value;
  return mark;
}

// A play, a stop or a position call: one that opens a window (the others only set what the
// voice goes on with).
bool ChangesHowItPlays(VoiceCall call) {
  return call == VoiceCall::kPlay || call == VoiceCall::kStop || call == VoiceCall::kPosition;
}

// Gives `voice` the settings its calls left it with.
void TakeSettings(const VoiceSettings& settings, VoiceMotion* voice) {
  voice->rate = settings.rate;
  voice->step = settings.step;
  voice->volume = settings.volume;
  voice->pan = settings.pan;
}

// One replay of a voice's marks from `start`, at a repeat whose phase is `phase`.
void RunStretch(const LoggedVoice& logged, uint64_t end, const VoiceMotion& start, uint32_t phase,
                StretchRun* run) {
  run->end = start;
  run->settled = false;
  run->hazards.clear();
  VoiceMotion& voice = run->end;
  uint64_t offset = 0;  // (position - start position) modulo end, while not settled
  uint64_t step = 0;
  uint64_t last_frame = 0;
  bool first = true;
  for (const VoiceMark& mark : logged.marks) {
    const uint64_t frame = mark.time().At(phase);
    if (!first && voice.playing && frame != last_frame) {
      const VoiceTravel travel = VoiceTravel{step} * (frame - last_frame);
      const bool one_shot = !voice.looping;
      const bool wraps = travel >= end;
      // Looping, only the travel modulo the length counts; one-shot, whether it reaches the end.
      if (one_shot && !run->settled && !wraps)
        run->hazards.emplace_back(offset, static_cast<uint64_t>(travel));
      if (MoveAlongSamples(voice, end, one_shot && wraps ? VoiceTravel{end} : travel)) {
        run->settled = true;
      } else if (!run->settled) {
        // Not at an end, it moved round the samples by the travel.
        const uint64_t turned =
            wraps ? static_cast<uint64_t>(travel % end) : static_cast<uint64_t>(travel);
        offset = TurnedRound(offset, turned, end);
      }
    }
    first = false;
    last_frame = frame;
    step = mark.step;
    switch (mark.call) {
      case VoiceCall::kPlay:
        voice.looping = mark.value != 0;
        voice.playing = true;
        break;
      case VoiceCall::kStop:
        voice.playing = false;
        break;
      case VoiceCall::kPosition: {
        const uint32_t sample =
            std::min(static_cast<uint32_t>(mark.value), logged.sample_frames - 1);
        voice.position = uint64_t{sample} << 32;
        run->settled = true;
        break;
      }
      default:
        break;
    }
  }
  TakeSettings(logged.ends_with, &voice);
}

// How far a voice that only turns round its samples (it loops wherever it plays and no call
// puts it anywhere) is turned by repeats first..first+count-1 of its marks, from a start as
// `from` has it (whether it plays): each mark's frames over all of them at once, from how many
// of those repeats start at each phase. Modulo `end`.
uint64_t TurnOverRepeats(const LoggedVoice& logged, uint64_t end, const VoiceMotion& from,
                         const TickPhases& phases, int64_t first, int64_t count) {
  // at_least[p]: how many of the repeats start at phase p or later (a mark's frames are one
  // more at phases at or past 1000 - its thousandths).
  std::array<int64_t, 1001> at_least{};
  const uint32_t period = phases.period();
  const int64_t rounds = count / period;
  const int64_t rest = count % period;
  for (uint32_t j = 0; j < period; ++j)
    at_least[phases.of(first + j)] += rounds + (static_cast<int64_t>(j) < rest ? 1 : 0);
  for (int p = 999; p >= 0; --p) at_least[static_cast<size_t>(p)] += at_least[p + 1];
  const auto frames_over_all = [&](const VoiceMark& mark) {
    return static_cast<VoiceTravel>(count) * mark.frames +
           static_cast<VoiceTravel>(at_least[1000 - mark.thousandths]);
  };
  bool playing = from.playing;
  uint64_t step = 0;
  uint64_t turn = 0;
  const VoiceMark* last = nullptr;
  for (const VoiceMark& mark : logged.marks) {
    if (last && playing && step != 0) {
      const VoiceTravel frames = frames_over_all(mark) - frames_over_all(*last);
      const uint64_t travel = static_cast<uint64_t>(VoiceTravel{step} * (frames % end) % end);
      turn = TurnedRound(turn, travel, end);
    }
    last = &mark;
    step = mark.step;
    if (mark.call == VoiceCall::kPlay) playing = true;
    if (mark.call == VoiceCall::kStop) playing = false;
  }
  return turn;
}

// What a closed window settles of its voice, whatever state the voice began the log in: the
// call that opened it, then the travel over it (at least `least` and at most `most`, whatever
// phase a repeat starts at).
void Settle(LoggedVoice& voice, VoiceCall opened_by, int32_t value, VoiceTravel least,
            VoiceTravel most, uint64_t end) {
  switch (opened_by) {
    case VoiceCall::kPlay:
      voice.play_settled = true;
      voice.settled_playing = true;
      voice.settled_looping = value != 0;
      break;
    case VoiceCall::kStop:
      voice.play_settled = true;
      voice.settled_playing = false;
      break;
    case VoiceCall::kPosition:
      voice.position_settled = true;
      break;
    default:
      break;
  }
  if (most == 0) return;                                     // no time passes
  if (voice.play_settled && voice.position_settled) return;  // alike from any start from here on
  if (!voice.play_settled) {
    voice.position_settled = false;  // it may or may not move
    return;
  }
  if (!voice.settled_playing || voice.settled_looping) return;  // a loop turns alike
  if (least >= end) {
    voice.settled_playing = false;  // it reaches its end, whatever its position: stopped at 0
    voice.position_settled = true;
  } else {
    voice.play_settled = false;  // it may or may not reach its end
  }
}

bool SameCalls(VoiceMotion a, VoiceMotion b) {
  a.position = b.position = 0;
  return a == b;
}

// How many repeats in a row, from one starting at `position` and each turned `turn` further
// round samples of `end`, go by before one whose start brings a hazard to the end; at most
// `most`.
int64_t CleanRepeats(const std::vector<std::pair<uint64_t, uint64_t>>& hazards, uint64_t position,
                     uint64_t turn, uint64_t end, int64_t most) {
  int64_t clean = most;
  for (const auto& [offset, travel] : hazards) {
    if (travel == 0) continue;  // standing still never reaches the end
    // The stretch begins at (position + y * turn + offset) mod end and reaches the end when that
    // lies in [end - travel, end): y * turn mod end in that range moved back by `c`.
    const VoiceTravel c = (VoiceTravel{position} + offset) % end;
    const VoiceTravel low = (VoiceTravel{end} - travel + end - c) % end;
    const VoiceTravel high = (VoiceTravel{end} - 1 + end - c) % end;
    if (low > high) return 0;  // the range wraps round 0: the very next repeat
    const SignedTravel first = FirstMultipleInRange(turn, end, low, high);
    if (first >= 0 && first < clean) clean = static_cast<int64_t>(first);
  }
  return clean;
}

}  // namespace

__extension__ __int128 FirstMultipleInRange(VoiceTravel a, VoiceTravel m, VoiceTravel low,
                                            VoiceTravel high) {
  if (low == 0) return 0;
  a %= m;
  if (a == 0) return -1;
  // The first multiple of a at or past `low`, before any wrap.
  const VoiceTravel k = (low + a - 1) / a;
  if (a * k <= high) return static_cast<SignedTravel>(k);
  // No multiple of a lies in [low, high] (so the range is shorter than a and does not hold 0
  // modulo a): a * x - m * y lands there for the first y >= 1 with (m * y) mod a in
  // [a - high mod a, a - low mod a], and then for x = ceil((low + m * y) / a).
  const SignedTravel y = FirstMultipleInRange(m % a, a, a - high % a, a - low % a);
  if (y < 0) return -1;
  return static_cast<SignedTravel>((low + m * static_cast<VoiceTravel>(y) + a - 1) / a);
}

uint32_t TickPhases::period() const {
  return moves % 1000 == 0 ? 1 : 1000 / std::gcd(uint32_t{1000}, moves % 1000);
}

uint32_t TickPhases::of(int64_t repeat) const {
  const uint64_t within = static_cast<uint64_t>(repeat) % period();
  return static_cast<uint32_t>((first + within * (moves % 1000)) % 1000);
}

void VoiceCallLog::CountTicks(uint64_t frames_per_1000_ticks, uint32_t first_phase) {
  if (frames_per_1000_ticks < 1000 || first_phase >= 1000) return Spoil();
  per_1000_ticks_ = frames_per_1000_ticks;
  first_phase_ = first_phase;
}

MarkTime VoiceCallLog::Now() {
  if (per_1000_ticks_ == 0) return {static_cast<uint64_t>(frames_), 0};
  if (frames_ == now_frames_) return now_;
  // The tick that falls on frames_: the first whose frame, floor((first_phase + tick × per) /
  // 1000), is at least frames_ (a tick lasts a frame or more, so it is the only one).
  const VoiceTravel per = per_1000_ticks_;
  const VoiceTravel reach = VoiceTravel{static_cast<uint64_t>(frames_)} * 1000;
  const VoiceTravel tick = reach <= first_phase_ ? 0 : (reach - first_phase_ + per - 1) / per;
  const VoiceTravel into = tick * per;
  const MarkTime now{static_cast<uint64_t>(into / 1000), static_cast<uint16_t>(into % 1000)};
  if (now.At(first_phase_) != static_cast<uint64_t>(frames_)) Spoil();
  now_frames_ = frames_;
  now_ = now;
  return now;
}

void VoiceCallLog::Begin(const VoiceMotion& motion, uint32_t sample_frames) {
  LoggedVoice voice;
  voice.began_playing = motion.playing;
  voice.slot = motion.slot;
  voice.generation = motion.generation;
  voice.sample_frames = sample_frames;
  voice.moving_step = motion.step;
  voice.ends_with = SettingsOf(motion);
  voice.since = Now();
  if (follows_ == Follows::kWindows) {
    voice.marks.push_back(MarkAt(voice.since, motion.step));
    ++marks_;
  }
  voices_.push_back(std::move(voice));
  if (voices_.size() > 1 && voices_[voices_.size() - 2].slot >= motion.slot) Spoil();
  if (motion.slot < 0) return Spoil();
  const size_t slot = static_cast<size_t>(motion.slot);
  if (index_.size() <= slot) index_.resize(slot + 1, -1);
  index_[slot] = static_cast<int32_t>(voices_.size() - 1);
}

const LoggedVoice* VoiceCallLog::Find(int32_t slot) const {
  if (slot < 0 || static_cast<size_t>(slot) >= index_.size()) return nullptr;
  const int32_t at = index_[static_cast<size_t>(slot)];
  return at < 0 ? nullptr : &voices_[static_cast<size_t>(at)];
}

LoggedVoice* VoiceCallLog::Find(int32_t slot) {
  return const_cast<LoggedVoice*>(std::as_const(*this).Find(slot));
}

void VoiceCallLog::Travel(LoggedVoice& voice, MarkTime now) {
  const MarkTime& since = voice.since;
  if (now == since || voice.moving_step == 0) {
    voice.since = now;
    return;
  }
  const VoiceTravel step = voice.moving_step;
  const VoiceTravel logged = static_cast<uint64_t>(frames_) - since.At(first_phase_);
  // Whatever phase a repeat starts at, this stretch of time is its frames at phase 0, or one
  // fewer or one more as the two times' places within a frame lie.
  const uint64_t whole = now.frames - since.frames;
  const uint64_t fewest = whole - (now.thousandths < since.thousandths ? 1 : 0);
  const uint64_t most = whole + (now.thousandths > since.thousandths ? 1 : 0);
  voice.open_travel += step * logged;
  voice.least_travel += step * fewest;
  voice.most_travel += step * most;
  voice.since = now;
}

bool VoiceCallLog::SurelyStopped(const LoggedVoice& voice) {
  switch (voice.open_call) {
    case VoiceCall::kStop:
      return true;
    case VoiceCall::kPosition:  // stopped before it, whatever the start, and not played since
      return voice.play_settled && !voice.settled_playing;
    case VoiceCall::kPlay:  // played once through from wherever it was: it has reached its end
      return voice.open_value == 0 && voice.least_travel >= VoiceTravel{voice.sample_frames} << 32;
    default:
      return false;
  }
}

void VoiceCallLog::Called(int32_t slot, VoiceCall call, int32_t value, const VoiceMotion& motion) {
  if (spoilt_) return;
  LoggedVoice* voice = Find(slot);
  if (!voice || voice->generation != motion.generation) {
    Spoil();
    return;
  }
  const MarkTime now = Now();
  Travel(*voice, now);
  const bool changes_how = ChangesHowItPlays(call);
  if (changes_how) {
    Close(*voice);
    if (call == VoiceCall::kPosition && follows_ == Follows::kWindows && voice->play_settled)
      ForgetPast(*voice, motion, now);
    voice->changed_how_it_plays = true;
    voice->open_call = call;
    voice->open_value = value;
  }
  // A tuning matters only to a voice that may be playing (a play call marks the step it goes
  // on at). A track's tuning reaches all its buffers, most of them stopped.
  if (follows_ == Follows::kWindows &&
      (changes_how || (motion.step != voice->moving_step && !SurelyStopped(*voice)))) {
    if (++marks_ > kMostMarks) {
      Spoil();
      voices_.clear();  // nothing of it is used: its room goes now
      index_.clear();
      return;
    }
    voice->marks.push_back(MarkAt(now, motion.step, changes_how ? call : VoiceCall::kNone, value));
  }
  voice->ends_with = SettingsOf(motion);
  voice->moving_step = motion.step;
}

void VoiceCallLog::ForgetPast(LoggedVoice& voice, const VoiceMotion& motion, MarkTime now) {
  // How it plays is settled, so this run's state is every run's (the settled flags themselves
  // stop following once the position is settled too).
  marks_ -= voice.marks.size() - 1;
  voice.marks.assign(1,
                     MarkAt(now, motion.step, motion.playing ? VoiceCall::kPlay : VoiceCall::kStop,
                            motion.looping ? 1 : 0));
}

void VoiceCallLog::Touched(int32_t slot, uint32_t generation, VoiceCall call) {
  if (spoilt_) return;
  LoggedVoice* voice = Find(slot);
  if (!voice || voice->generation != generation) return Spoil();
  if (ChangesHowItPlays(call)) voice->changed_how_it_plays = true;
}

void VoiceCallLog::Close(LoggedVoice& voice) {
  const uint64_t end = uint64_t{voice.sample_frames} << 32;
  // Logged once (no ticks), the travel is what every repeat makes; with ticks, only what holds
  // at every phase counts.
  const bool ticks = per_1000_ticks_ != 0 && follows_ == Follows::kWindows;
  Settle(voice, voice.open_call, voice.open_value, ticks ? voice.least_travel : voice.open_travel,
         ticks ? voice.most_travel : voice.open_travel, end);
  voice.open_travel = voice.least_travel = voice.most_travel = 0;
}

bool VoiceCallLog::Forgets() const {
  if (spoilt_) return false;
  for (const LoggedVoice& voice : voices_) {
    const bool settled = voice.play_settled && voice.position_settled;
    const bool left_alone = !voice.changed_how_it_plays && !voice.began_playing;
    if (!settled && !left_alone) return false;
  }
  return true;
}

bool VoiceCallLog::ForgetsWhatChangedIn(const VoiceCallLog& before) const {
  if (spoilt_ || before.spoilt_ || voices_.size() != before.voices_.size()) return false;
  for (const LoggedVoice& voice : voices_) {
    if (voice.play_settled && voice.position_settled) continue;
    const LoggedVoice* earlier = before.Find(voice.slot);
    if (!earlier || earlier->generation != voice.generation || earlier->changed_how_it_plays ||
        earlier->began_playing)
      return false;
  }
  return true;
}

void VoiceCallLog::End() {
  if (spoilt_) return;
  const MarkTime now = Now();
  if (spoilt_) return;  // the end fell on no tick
  for (LoggedVoice& voice : voices_) {
    Travel(voice, now);
    Close(voice);
    if (follows_ == Follows::kWindows) {
      voice.marks.push_back(MarkAt(now, voice.moving_step));
      voice.marks.shrink_to_fit();  // a log is kept with the song: no room it grew into
      ++marks_;
    }
  }
  if (per_1000_ticks_ != 0) {
    // The next repeat starts where this stretch ended within a frame.
    phases_.moves = now.thousandths;
    phases_.first = (first_phase_ + now.thousandths) % 1000;
  }
}

namespace {

// A voice as the orbit has it after `repeats` repeats (at least 1).
VoiceMotion OrbitMotion(const LoggedVoice& logged, const VoiceOrbit& orbit, int64_t repeats) {
  VoiceMotion motion = orbit.start;
  const VoiceOrbit::State& state = orbit.states[static_cast<size_t>(repeats - 1)];
  motion.position = state.position;
  motion.playing = state.playing;
  motion.looping = state.looping;
  TakeSettings(logged.ends_with, &motion);
  return motion;
}

// Works the voice's orbit out further, repeat by repeat at each one's phase, until it holds
// `repeats`, comes round (a state it stood in before, with the next repeat at the same phase:
// a cycle), or only turns from then on (looping wherever it plays, nothing putting it anywhere);
// false when the budget or the step bound runs out first.
bool ExtendOrbit(const LoggedVoice& logged, uint64_t end, const TickPhases& phases, int64_t repeats,
                 int64_t most_steps, int64_t* budget) {
  VoiceOrbit& orbit = logged.orbit;
  const int64_t marks = std::max(static_cast<int64_t>(logged.marks.size()), kOrbitStepCost);
  const uint32_t period = phases.period();
  // Where each state was first met, by where the next repeat falls within the phases' period.
  struct Seen {
    VoiceOrbit::State state;
    uint32_t at_phase;
    bool operator==(const Seen&) const = default;
  };
  struct SeenHash {
    size_t operator()(const Seen& seen) const {
      return std::hash<uint64_t>()(seen.state.position * 4001 + seen.at_phase * 4 +
                                   seen.state.playing * 2 + seen.state.looping);
    }
  };
  std::unordered_map<Seen, int64_t, SeenHash> seen;
  for (size_t i = 0; i < orbit.states.size(); ++i) {
    const int64_t done = static_cast<int64_t>(i) + 1;
    seen.try_emplace(Seen{orbit.states[i], static_cast<uint32_t>(done % period)}, done);
  }
  StretchRun run;
  for (int64_t steps = 0; static_cast<int64_t>(orbit.states.size()) < repeats; ++steps) {
    *budget -= marks;
    if (steps == most_steps || *budget < 0) return false;
    const int64_t done = static_cast<int64_t>(orbit.states.size());
    const VoiceMotion now = done == 0 ? orbit.start : OrbitMotion(logged, orbit, done);
    RunStretch(logged, end, now, phases.of(done), &run);
    orbit.states.push_back({run.end.position, run.end.playing, run.end.looping});
    if (!run.settled && run.hazards.empty() && SameCalls(run.end, now)) {
      // It loops wherever it plays and nothing puts it anywhere: every repeat from here on only
      // turns it.
      orbit.turns_from = done + 1;
      return true;
    }
    const auto [met, first_time] = seen.try_emplace(
        Seen{orbit.states.back(), static_cast<uint32_t>((done + 1) % period)}, done + 1);
    if (!first_time) {
      orbit.cycle_from = met->second;
      orbit.cycle = done + 1 - met->second;
      return true;
    }
  }
  return true;
}

// RepeatVoice where repeats start at places within a frame that differ (`phases` moves): from
// the voice's orbit, worked out as far as needed (and kept for the next seek).
bool RepeatAtPhases(const LoggedVoice& logged, uint64_t end, const TickPhases& phases,
                    int64_t repeats, int64_t most_steps, VoiceMotion* voice, int64_t* budget) {
  VoiceOrbit& orbit = logged.orbit;
  if (!(orbit.start == *voice)) {
    orbit = VoiceOrbit{};
    orbit.start = *voice;
  }
  const bool whole = orbit.cycle_from >= 0 || orbit.turns_from >= 0;
  if (!whole && !ExtendOrbit(logged, end, phases, repeats, most_steps, budget)) return false;
  const int64_t known = static_cast<int64_t>(orbit.states.size());
  if (repeats <= known) {
    *voice = OrbitMotion(logged, orbit, repeats);
  } else if (orbit.cycle_from >= 0) {
    *voice =
        OrbitMotion(logged, orbit, orbit.cycle_from + (repeats - orbit.cycle_from) % orbit.cycle);
  } else {
    *budget -= static_cast<int64_t>(logged.marks.size());
    VoiceMotion now = OrbitMotion(logged, orbit, orbit.turns_from);
    now.position = TurnedRound(
        now.position,
        TurnOverRepeats(logged, end, now, phases, orbit.turns_from, repeats - orbit.turns_from),
        end);
    *voice = now;
  }
  return true;
}

}  // namespace

bool RepeatVoice(const LoggedVoice& logged, int64_t repeats, const TickPhases& phases,
                 VoiceMotion* voice, int64_t* budget) {
  if (logged.sample_frames == 0 || logged.marks.empty()) return false;
  const uint64_t end = uint64_t{logged.sample_frames} << 32;
  const uint32_t period = phases.period();
  const int64_t cost = static_cast<int64_t>(logged.marks.size());
  StretchRun run;
  if (repeats <= 0) return true;
  if (period > 1 && logged.play_settled && logged.position_settled) {
    // Every repeat leaves it as it would from any start: only the last counts.
    *budget -= cost;
    if (*budget < 0) return false;
    RunStretch(logged, end, *voice, phases.of(repeats - 1), &run);
    *voice = run.end;
    return true;
  }
  if (period > 1)
    return RepeatAtPhases(logged, end, phases, repeats, kMostPhasedSteps, voice, budget);
  // Where every repeat starts at the same place within a frame, the orbit is tried first too
  // (kept, it spares the seeks after working the repeats out again), within as many steps as
  // the search below takes; a voice whose orbit does not come round within them (a one-shot
  // voice creeping towards its end, say) is left to that search, this seek and the next.
  VoiceOrbit& orbit = logged.orbit;
  if (!orbit.given_up || !(orbit.start == *voice)) {
    int64_t trial = std::min<int64_t>(*budget, kMostSteps * std::max(cost, kOrbitStepCost));
    const int64_t allowed = trial;
    VoiceMotion orbited = *voice;
    const bool found = RepeatAtPhases(logged, end, phases, repeats, kMostSteps, &orbited, &trial);
    *budget -= allowed - trial;
    if (found) {
      *voice = orbited;
      return true;
    }
    orbit.given_up = true;
  }
  VoiceMotion now = *voice;
  int64_t done = 0;
  // States met right after a repeat that settled, with the repeats done then.
  std::vector<std::pair<VoiceMotion, int64_t>> settled;
  for (int steps = 0; done < repeats; ++steps) {
    *budget -= cost;
    if (steps == kMostSteps || *budget < 0) return false;
    RunStretch(logged, end, now, phases.of(done), &run);
    ++done;
    if (run.settled) {
      for (const auto& [state, done_then] : settled) {
        // From here on the voice comes back to this state every (done - done_then) repeats.
        if (!(state == run.end)) continue;
        const int64_t cycle = done - done_then;
        done += (repeats - done) / cycle * cycle;
        settled.clear();
        break;
      }
      settled.emplace_back(run.end, done);
      now = run.end;
      continue;
    }
    const bool same_calls = SameCalls(run.end, now);
    const uint64_t turn =
        static_cast<uint64_t>((VoiceTravel{run.end.position} + end - now.position) % end);
    now = run.end;
    if (!same_calls || done == repeats) continue;
    // Every repeat from here on starts in the same state but for its position, which each turns
    // `turn` further, until one brings a one-shot stretch to its end: those in between go by at
    // once.
    const int64_t clean = CleanRepeats(run.hazards, now.position, turn, end, repeats - done);
    now.position = static_cast<uint64_t>(
        (VoiceTravel{now.position} + static_cast<VoiceTravel>(clean) * turn) % end);
    done += clean;
  }
  *voice = now;
  return true;
}

}  // namespace platform
