// Where voices stand after many repeats of the same stretch of control calls, without replaying
// them: a seek's way over the passes of a song's loop once the calls each pass makes are known.
//
// A voice moves by itself only along its samples (a looping voice wraps, a one-shot voice stops
// at its end and goes back to 0); everything else it holds (rate, volume, pan, the calls' own
// mode changes) follows from the calls alone. So over one stretch, a voice that never reaches an
// end it stops at comes out turned round its samples by a fixed amount, and one that does comes
// out in a state that no longer depends on where it started. Repeats of the stretch are then
// worked out voice by voice: turns are added up at once, up to the first repeat whose start
// brings the voice to such an end (found by a Euclid-like search, not by trying each repeat),
// and a state met twice after such an end is a cycle that whole multiples skip.
//
// A song's calls come at ticks, and a tick's frame is rounded to the nearest: where a tick lasts
// no whole number of frames, each repeat starts elsewhere within a frame and its calls come a
// frame earlier or later. A log that counts ticks keeps each call's place within a frame, so one
// logged stretch stands for repeats at every such place: a voice held through them is turned by
// the frames they really span, added up over all of them at once from how many start at each
// place (at most 1000), and the rest is worked out repeat by repeat as above, a cycle being a
// state met twice at the same place.
//
// VoiceCallLog is written by the mixer while a stretch is replayed (SoundMixer::StartCallLog) and
// read by RepeatVoice. Pure data and functions: any thread, one log per replay.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/platform/sound_interface.h"

namespace platform {

__extension__ typedef unsigned __int128 VoiceTravel;  // 32.32 positions times frame counts

// A control call as the mixer applies it.
enum class VoiceCall : uint8_t { kNone, kPlay, kStop, kPosition, kFrequency, kVolume, kPan };

// A voice's place and motion: its position in 32.32 frames of its samples, its step per output
// frame (32.32), and what its calls set.
using VoiceMotion = VoiceCheckpoint::Voice;

// The step (32.32 sample frames per output frame) a voice playing at `rate` samples per second
// moves by at `output_rate` frames per second (never 0).
inline uint64_t StepForRate(uint32_t rate, int output_rate) {
  const uint64_t step = (uint64_t{rate} << 32) / static_cast<uint64_t>(output_rate);
  return step == 0 ? 1 : step;
}

// Moves a playing voice `travel` (its step times the frames) along samples of `end` (frames in
// 32.32): a looping voice wraps; a one-shot voice that reaches the end stops there and goes back
// to 0 (true), as mixing moves it. Works on any state with position, playing and looping.
// (position + travel) modulo end, for a position below `end` and a travel at most `end`: one
// subtraction instead of a wide division (most moves are shorter than the samples).
inline uint64_t TurnedRound(uint64_t position, uint64_t travel, uint64_t end) {
  const uint64_t short_of_end = end - travel;
  return position >= short_of_end ? position - short_of_end : position + travel;
}

template <typename Motion>
bool MoveAlongSamples(Motion& voice, uint64_t end, VoiceTravel travel) {
  if (voice.looping) {
    if (voice.position < end && travel <= end) {
      voice.position = TurnedRound(voice.position, static_cast<uint64_t>(travel), end);
      return false;
    }
    voice.position = static_cast<uint64_t>((voice.position + travel) % end);
    return false;
  }
  if (voice.position + travel >= end) {
    voice.playing = false;
    voice.position = 0;
    return true;
  }
  voice.position += static_cast<uint64_t>(travel);
  return false;
}

// The smallest x >= 0 with low <= (a * x) mod m <= high (0 <= low <= high < m), or -1 when
// there is none.
__extension__ __int128 FirstMultipleInRange(VoiceTravel a, VoiceTravel m, VoiceTravel low,
                                            VoiceTravel high);

// A logged call's time: the output frames from the stretch's start to it. Where the log counts
// ticks (VoiceCallLog::CountTicks), a later repeat of the stretch starts at another place within
// a frame, so its calls fall `frames` or one more frames in: one more where the repeat's phase
// (see TickPhases) is at least 1000 - `thousandths`. Without ticks, `thousandths` is 0 and every
// repeat is alike.
struct MarkTime {
  uint64_t frames = 0;
  uint16_t thousandths = 0;
  bool operator==(const MarkTime&) const = default;
  // The frames in at a repeat whose phase is `phase` (0..999).
  uint64_t At(uint32_t phase) const { return frames + (phase + thousandths >= 1000 ? 1 : 0); }
};

// Where each repeat of a logged stretch starts within a frame: repeat j (0, 1, ...) at phase
// (first + j * moves) mod 1000, in thousandths of a frame. All 0 for a log without ticks.
struct TickPhases {
  uint32_t first = 0;
  uint32_t moves = 0;
  // The repeats after which the phase comes back (1 when it never moves).
  uint32_t period() const;
  uint32_t of(int64_t repeat) const;
};

// One voice's share of a logged stretch: the calls that change how it plays (play, stop,
// position) or what it moves at (a tuning), each with its time and the step the voice moves at
// from there; the first stands for the voice as the log found it. Volumes and pans only set what
// it goes on with: the last of them is kept once per voice.
struct VoiceMark {      // 24 bytes: a log may hold 2^19 of them
  uint64_t frames = 0;  // MarkTime::frames
  uint64_t step = 0;
  int32_t value = 0;
  uint16_t thousandths = 0;  // MarkTime::thousandths
  VoiceCall call = VoiceCall::kNone;
  MarkTime time() const { return {frames, thousandths}; }
};
static_assert(sizeof(VoiceMark) == 24);

// The settings a voice's calls left it with.
struct VoiceSettings {
  uint32_t rate = 0;
  uint64_t step = 0;
  int32_t volume = 0;
  int32_t pan = 0;
};

inline VoiceSettings SettingsOf(const VoiceMotion& motion) {
  return {motion.rate, motion.step, motion.volume, motion.pan};
}

// Where a voice stands after each repeat of its marks from the state the log's stretch left it
// in (a seek restores that state before repeating): worked out as far as a seek needed, and kept
// for the seeks after it, which then only look up their repeat. Past `cycle_from` the states
// come back every `cycle` repeats; past `turns_from` the voice only turns (each repeat by what
// its phase makes).
struct VoiceOrbit {
  struct State {
    uint64_t position = 0;
    bool playing = false;
    bool looping = false;
    bool operator==(const State&) const = default;
  };
  VoiceMotion start;
  std::vector<State> states;  // after 1, 2, ... repeats
  int64_t cycle_from = -1;
  int64_t cycle = 0;
  int64_t turns_from = -1;
  bool given_up = false;  // it did not come round within the steps tried (from `start`)
};

struct LoggedVoice {
  int32_t slot = -1;
  uint32_t generation = 0;
  uint32_t sample_frames = 0;    // the length of its samples when the log began
  std::vector<VoiceMark> marks;  // the last at the stretch's end (after End)
  VoiceSettings ends_with;       // after the last call so far
  // While logging: the call that opened the open window (one that changed how it plays; kNone
  // for the first), when the last mark was, the step it moves at since, and the window's
  // travel so far: as logged, and the least and most any repeat's phase would make it.
  VoiceCall open_call = VoiceCall::kNone;
  int32_t open_value = 0;
  MarkTime since;
  uint64_t moving_step = 0;
  VoiceTravel open_travel = 0;
  VoiceTravel least_travel = 0;
  VoiceTravel most_travel = 0;
  // What the calls so far settle whatever state the voice began in (and, in a log of ticks,
  // whatever place within a frame the stretch starts at): whether it plays (and loops), and its
  // position. Both settled: the stretch leaves it the same from any start.
  bool began_playing = false;
  bool changed_how_it_plays = false;  // a play, stop or position call came
  bool play_settled = false;
  bool settled_playing = false;
  bool settled_looping = false;
  bool position_settled = false;
  // Kept by RepeatVoice where repeats start at places within a frame that differ (a log is one
  // song's, used on one thread at a time).
  mutable VoiceOrbit orbit;
};

// The calls of one stretch, voice by voice, as the mixer logs them.
class VoiceCallLog {
 public:
  // The most marks a log holds; a longer stretch spoils it (a seek then replays as before).
  // 2^19 (12 MB): room for eight melody tracks of 4096 notes over two passes, the most a
  // stretch of ticks takes (a note marks the buffer it plays twice, tuned and played, and the
  // one it releases), or over four where the log counts no ticks.
  static constexpr size_t kMostMarks = size_t{1} << 19;

  // What a log follows: every mark (kWindows, for RepeatVoice); only what the calls settle
  // (kWhatSettles, for Forgets: no marks are kept, any number of calls, no room grows);
  // or only which voices were played, stopped or moved at all (kWhatChangesHowTheyPlay: no
  // motion is followed, so a call costs next to nothing).
  enum class Follows { kWindows, kWhatSettles, kWhatChangesHowTheyPlay };
  explicit VoiceCallLog(Follows follows = Follows::kWindows) : follows_(follows) {}

  // Before Begin: the calls come at ticks, tick k of the stretch at output frame
  // floor((first_phase + k * frames_per_1000_ticks) / 1000) from its start (a tick's frame
  // rounded to the nearest, first_phase being where the stretch starts within a frame, in
  // thousandths). Its marks then hold how a repeat that starts elsewhere within a frame falls,
  // and RepeatVoice works out repeats whose phases differ. At least 1000 (a frame a tick): a
  // call at a frame no tick falls on spoils the log.
  void CountTicks(uint64_t frames_per_1000_ticks, uint32_t first_phase);
  // After End: where each repeat of the stretch after this one starts within a frame.
  TickPhases phases() const { return phases_; }

  // Opens a voice's first window at frame 0, in the state `motion`.
  void Begin(const VoiceMotion& motion, uint32_t sample_frames);
  // `frames` output frames pass.
  void Advance(int64_t frames) { frames_ += frames; }
  // A call applied to the voice in `slot`, which now stands in `motion`.
  void Called(int32_t slot, VoiceCall call, int32_t value, const VoiceMotion& motion);
  // Whether Called needs the voice's motion; where not, Touched stands for it.
  bool follows_motion() const { return follows_ != Follows::kWhatChangesHowTheyPlay; }
  void Touched(int32_t slot, uint32_t generation, VoiceCall call);
  // Closes every open window at the frame reached.
  void End();
  // The log no longer stands for what happened (a voice made or released, samples changed).
  void Spoil() { spoilt_ = true; }

  bool spoilt() const { return spoilt_; }
  int64_t frames() const { return frames_; }
  size_t marks() const { return marks_; }
  const std::vector<LoggedVoice>& voices() const { return voices_; }

  // After End: true when the stretch leaves every voice as it would from any state it began in,
  // or, for one never played, stopped or moved in it, stopped where it began (it was then left
  // alone by every stretch of these calls). A stand-in start then gives the true state at the
  // stretch's end.
  bool Forgets() const;
  // After End: true when every voice this stretch does not settle (leave as it would from any
  // state it began in) was left alone by `before`, the log of the stretch just before this one
  // (never played, stopped or moved there, and stopped at its start). A start that is true for
  // the voices `before` left alone, and stands in for the others, then gives the true state of
  // every voice at this stretch's end.
  bool ForgetsWhatChangedIn(const VoiceCallLog& before) const;

 private:
  LoggedVoice* Find(int32_t slot);
  const LoggedVoice* Find(int32_t slot) const;
  // The time now (frames_, and in a log of ticks, the tick's place); spoils the log when no
  // tick falls on frames_.
  MarkTime Now();
  // Adds the travel from the last mark to `now` at the step it moved at.
  void Travel(LoggedVoice& voice, MarkTime now);
  void Close(LoggedVoice& voice);
  // Whether the voice stands stopped here whatever state it began the stretch in and whatever
  // place within a frame a repeat starts at: a tuning then changes nothing of where it goes.
  static bool SurelyStopped(const LoggedVoice& voice);
  // At a position call that finds how `voice` plays settled (alike from any state it began in):
  // nothing before it shapes where the voice goes from here, so its marks give way to one that
  // plays or stops it as `motion` has it now (the position call then sets the rest). A voice put
  // back at its start at every hit, as a drum is, then keeps a few marks however many hits a
  // stretch holds.
  void ForgetPast(LoggedVoice& voice, const VoiceMotion& motion, MarkTime now);

  std::vector<LoggedVoice> voices_;  // by slot, ascending
  std::vector<int32_t> index_;       // by slot: where in voices_ (-1: none)
  int64_t frames_ = 0;
  size_t marks_ = 0;
  // Counting ticks: frames per 1000 ticks (0: no ticks), the phase the stretch started at, and
  // the last time worked out (calls come many to a frame).
  uint64_t per_1000_ticks_ = 0;
  uint32_t first_phase_ = 0;
  int64_t now_frames_ = -1;
  MarkTime now_;
  TickPhases phases_;
  Follows follows_ = Follows::kWindows;
  bool spoilt_ = false;
};

// Moves `voice` (the logged voice, in the state it has after the logged stretch or any number
// of replays of it) as `repeats` more replays of its marks would, the first of them starting
// within a frame where `phases` says. `budget`: marks that may still be worked through, over
// every voice of one seek (lowered by what this one takes). False, with `voice` unchanged, when
// its path is too involved for the budget.
bool RepeatVoice(const LoggedVoice& logged, int64_t repeats, const TickPhases& phases,
                 VoiceMotion* voice, int64_t* budget);

}  // namespace platform
