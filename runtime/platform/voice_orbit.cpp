#include "runtime/platform/voice_orbit.h"

#include <algorithm>
#include <utility>

namespace platform {
namespace {

__extension__ typedef __int128 SignedTravel;

// Repeats worked out one by one (or skipped in a run) per voice before it is given up: a path
// that needs more is replayed by the caller, as before.
constexpr int kMostSteps = 4096;

// What one replay of a voice's windows did from a given state.
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

// A play, a stop or a position call: one that opens a window (the others only set what the
// voice goes on with).
bool ChangesHowItPlays(VoiceCall call) {
  return call == VoiceCall::kPlay || call == VoiceCall::kStop || call == VoiceCall::kPosition;
}

void RunStretch(const LoggedVoice& logged, uint64_t end, const VoiceMotion& start,
                StretchRun* run) {
  run->end = start;
  run->settled = false;
  run->hazards.clear();
  VoiceMotion& voice = run->end;
  uint64_t offset = 0;  // (position - start position) modulo end, while not settled
  for (const VoiceWindow& window : logged.windows) {
    switch (window.opened_by) {
      case VoiceCall::kPlay:
        voice.looping = window.value != 0;
        voice.playing = true;
        break;
      case VoiceCall::kStop:
        voice.playing = false;
        break;
      case VoiceCall::kPosition: {
        const uint32_t frame =
            std::min(static_cast<uint32_t>(window.value), logged.sample_frames - 1);
        voice.position = uint64_t{frame} << 32;
        run->settled = true;
        break;
      }
      default:
        break;
    }
    if (voice.playing) {
      const bool one_shot = !voice.looping;
      // Looping, only the travel modulo the length counts; one-shot, whether it reaches the end.
      const VoiceTravel travel =
          one_shot && window.travel_wraps ? VoiceTravel{end} : VoiceTravel{window.travel};
      if (one_shot && !run->settled && !window.travel_wraps)
        run->hazards.emplace_back(offset, window.travel);
      if (MoveAlongSamples(voice, end, travel)) {
        run->settled = true;
      } else if (!run->settled) {
        // Not at an end, it moved round the samples by the window's travel (below the length).
        offset = TurnedRound(offset, window.travel, end);
      }
    }
  }
  voice.rate = logged.ends_with.rate;
  voice.step = logged.ends_with.step;
  voice.volume = logged.ends_with.volume;
  voice.pan = logged.ends_with.pan;
}

// What a closed window settles of its voice, whatever state the voice began the log in: the
// call that opened it, then the travel over it.
void Settle(LoggedVoice& voice, const VoiceWindow& window) {
  switch (window.opened_by) {
    case VoiceCall::kPlay:
      voice.play_settled = true;
      voice.settled_playing = true;
      voice.settled_looping = window.value != 0;
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
  if (window.travel == 0 && !window.travel_wraps) return;    // no time passes
  if (voice.play_settled && voice.position_settled) return;  // alike from any start from here on
  if (!voice.play_settled) {
    voice.position_settled = false;  // it may or may not move
    return;
  }
  if (!voice.settled_playing || voice.settled_looping) return;  // a loop turns alike
  if (window.travel_wraps) {
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

void VoiceCallLog::Begin(const VoiceMotion& motion, uint32_t sample_frames) {
  LoggedVoice voice;
  voice.began_playing = motion.playing;
  voice.slot = motion.slot;
  voice.generation = motion.generation;
  voice.sample_frames = sample_frames;
  voice.moving_step = motion.step;
  voice.ends_with = SettingsOf(motion);
  voice.windows.emplace_back();
  ++windows_;
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

void VoiceCallLog::Called(int32_t slot, VoiceCall call, int32_t value, const VoiceMotion& motion) {
  if (spoilt_) return;
  LoggedVoice* voice = Find(slot);
  if (!voice || voice->generation != motion.generation) {
    Spoil();
    return;
  }
  voice->open_travel += static_cast<VoiceTravel>(voice->moving_step) *
                        static_cast<VoiceTravel>(frames_ - voice->since);
  voice->since = frames_;
  if (ChangesHowItPlays(call)) {
    Close(*voice);
    if (call == VoiceCall::kPosition && follows_ == Follows::kWindows && voice->play_settled)
      ForgetPast(*voice, motion);
    voice->changed_how_it_plays = true;
    VoiceWindow opened;
    opened.opened_by = call;
    opened.value = value;
    if (follows_ != Follows::kWindows) {
      voice->windows.back() = opened;
    } else if (++windows_ > kMostWindows) {
      Spoil();
      voices_.clear();  // nothing of it is used: its room goes now
      index_.clear();
      return;
    } else {
      voice->windows.push_back(opened);
    }
  }
  voice->ends_with = SettingsOf(motion);
  voice->moving_step = motion.step;
}

void VoiceCallLog::ForgetPast(LoggedVoice& voice, const VoiceMotion& motion) {
  // How it plays is settled, so this run's state is every run's (the settled flags themselves
  // stop following once the position is settled too).
  VoiceWindow now;
  now.opened_by = motion.playing ? VoiceCall::kPlay : VoiceCall::kStop;
  now.value = motion.looping ? 1 : 0;
  windows_ -= voice.windows.size() - 1;
  voice.windows.assign(1, now);
}

void VoiceCallLog::Touched(int32_t slot, uint32_t generation, VoiceCall call) {
  if (spoilt_) return;
  LoggedVoice* voice = Find(slot);
  if (!voice || voice->generation != generation) return Spoil();
  if (ChangesHowItPlays(call)) voice->changed_how_it_plays = true;
}

void VoiceCallLog::Close(LoggedVoice& voice) {
  const VoiceTravel end = VoiceTravel{voice.sample_frames} << 32;
  VoiceWindow& open = voice.windows.back();
  open.travel = static_cast<uint64_t>(voice.open_travel % end);
  open.travel_wraps = voice.open_travel >= end;
  voice.open_travel = 0;
  Settle(voice, open);
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
  for (LoggedVoice& voice : voices_) {
    voice.open_travel += static_cast<VoiceTravel>(voice.moving_step) *
                         static_cast<VoiceTravel>(frames_ - voice.since);
    voice.since = frames_;
    Close(voice);
  }
}

bool RepeatVoice(const LoggedVoice& logged, int64_t repeats, VoiceMotion* voice, int64_t* budget) {
  if (logged.sample_frames == 0) return false;
  const uint64_t end = uint64_t{logged.sample_frames} << 32;
  VoiceMotion now = *voice;
  int64_t left = repeats;
  // States met right after a repeat that settled, with the repeats left then.
  std::vector<std::pair<VoiceMotion, int64_t>> settled;
  StretchRun run;
  for (int steps = 0; left > 0; ++steps) {
    *budget -= static_cast<int64_t>(logged.windows.size());
    if (steps == kMostSteps || *budget < 0) return false;
    RunStretch(logged, end, now, &run);
    --left;
    if (run.settled) {
      for (const auto& [state, left_then] : settled) {
        if (!(state == run.end)) continue;
        // From here on the voice comes back to this state every (left_then - left) repeats.
        left %= left_then - left;
        settled.clear();
        break;
      }
      settled.emplace_back(run.end, left);
      now = run.end;
      continue;
    }
    const bool same_calls = SameCalls(run.end, now);
    const uint64_t turn =
        static_cast<uint64_t>((VoiceTravel{run.end.position} + end - now.position) % end);
    now = run.end;
    if (!same_calls || left == 0) continue;
    // Every repeat from here on starts in the same state but for its position, which each turns
    // `turn` further, until one brings a one-shot stretch to its end: those in between go by
    // at once.
    const int64_t clean = CleanRepeats(run.hazards, now.position, turn, end, left);
    now.position = static_cast<uint64_t>(
        (VoiceTravel{now.position} + static_cast<VoiceTravel>(clean) * turn) % end);
    left -= clean;
  }
  *voice = now;
  return true;
}

}  // namespace platform
