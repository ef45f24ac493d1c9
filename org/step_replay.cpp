#include "org/step_replay.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <numeric>
#include <optional>

#include "org/replay_checkpoints.h"
#include "org/replay_voices.h"
#include "org/settling_replay.h"
#include "org/song_loop.h"

namespace org {
namespace {

__extension__ typedef __int128 Wide;

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

}  // namespace

RepeatFinder::RepeatFinder(const ParsedSong& song, int rate) : loop_(LoopOf(song)) {
  // A pass moves a tick's place within a frame by (loop ticks × wait × rate) mod 1000.
  const int64_t moved =
      static_cast<int64_t>((static_cast<Wide>(loop_.loop_steps) * song.wait * rate) % 1000);
  phase_passes_ = moved == 0 ? 1 : 1000 / std::gcd(int64_t{1000}, moved);
  span_ = phase_passes_;
}

template <typename Voices>
bool RepeatFinder::Repeats(Engine& engine, Voices& voices, const ReplayPosition& at, int64_t* ticks,
                           int64_t* frames, int64_t* passes) {
  if (comparisons_ >= kMostComparisons) return false;
  // The first loop start: the intro's voices may sound.
  if (at.next_tick == first_loop_start()) return false;
  if (has_kept_) {
    // Passes counted by ticks, not by the loop starts that came: a replay may begin past some
    // (a render moved the song on in between), and only whole phase periods bring a tick's
    // place within a frame back to where it was.
    passes_ = (at.next_tick - kept_.next_tick) / loop_.loop_steps;
    if (passes_ <= 0 || passes_ % phase_passes_ != 0) return false;
    ++comparisons_;
    if (engine.MatchesSnapshot() && voices.MatchesSnapshot()) {
      *ticks = at.next_tick - kept_.next_tick;
      *frames = at.frame - kept_.frame;
      *passes = passes_;
      return true;
    }
    if (passes_ < span_) return false;
    // Spans of 1, 1, 2, 4, ... phase periods (a repeat of one period is the likely one).
    if (++spans_ > 1) span_ = span_ < (int64_t{1} << 40) ? 2 * span_ : span_;
  }
  engine.SaveSnapshot();
  voices.SaveSnapshot();
  kept_ = at;
  has_kept_ = true;
  passes_ = 0;
  return false;
}

int64_t FrameOfTick(uint16_t wait, int rate, int64_t tick) {
  // round(tick × wait × rate / 1000) exactly, halves up (in 128 bits: no tick can overflow it);
  // past what 64 bits hold (a week-long loop repeated 2^30 times) it saturates, never reached.
  const Wide frame = (static_cast<Wide>(tick) * wait * rate * 2 + 1000) / 2000;
  return frame > kNever ? kNever : static_cast<int64_t>(frame);
}

namespace {

// The events of one pass of the loop that start a melody note.
int64_t MelodyNotesPerPass(const ParsedSong& song) {
  const bool stepping = song.loop_end > song.loop_start;
  int64_t count = 0;
  for (int track = 0; track < kMelodyTracks; ++track)
    for (const OrgEvent& event : song.tracks[track].events)
      if (event.key != kNoValue &&
          (stepping ? event.position >= song.loop_start && event.position < song.loop_end
                    : event.position == song.loop_start))
        ++count;
  return count;
}

int64_t FloorDivide(int64_t a, int64_t b) {  // b > 0
  const int64_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

// Keeps and uses the moments of replays (ReplayCheckpoints) at the song's own tempo from the
// start: each replay keeps a moment every `spacing` ticks of ground no replay has covered yet
// and looks there for the song's repeat; it starts from the last kept moment at or before its
// target (whole repeats on once they are known) when that is ahead of where it stands.
template <typename Voices>
class Checkpointing {
 public:
  // The most passes after which a tick's place within a frame recurs at the usual rates
  // (multiples of 1000 Hz and of 11025 Hz).
  static constexpr int64_t kUsualPhasePasses = 10;

  // `kept`: the engine's own moments (the position `at` is one a replay from the start reaches
  // at this tempo: a rewind, or one the renderer played to without changing anything since), or
  // null: moments of this replay alone, from `at` on.
  Checkpointing(Engine& engine, Voices& voices, int rate, bool kept, const ReplayPosition& at)
      : engine_(engine), voices_(voices), rate_(rate), kept_(kept) {
    if (kept_) {
      points_ = engine.replay_checkpoints();
      if (points_ && !Fits(*points_)) points_ = nullptr;
    }
    if (!points_) Fresh(at);
  }
  ~Checkpointing() { Forget(); }
  Checkpointing(const Checkpointing&) = delete;
  Checkpointing& operator=(const Checkpointing&) = delete;

  // At a tick's frame, before the tick plays: keeps the moment and looks for the repeat when
  // the ground is new. True when the replay moved on (to a kept moment after the repeat).
  bool AtTick(ReplayPosition* at, int64_t last) {
    if (LoopStartAtTick(at, last)) return true;
    // A pass from a stand-in state, or what follows a jump over passes never seen: not kept.
    if (forgetting_ || jumped_) return false;
    if (!points_ || points_->repeat_known || at->next_tick <= points_->explored_tick) return false;
    // Past a known stretch, seeks land by repeats of it: nothing there is kept.
    if (points_->stretch.known && at->next_tick > points_->stretch.end.next_tick) return false;
    points_->explored_tick = at->next_tick;
    const int64_t since = points_->points.empty()
                              ? at->next_tick - 1
                              : at->next_tick - points_->points.back().at.next_tick;
    if (since >= points_->spacing && !Keep(*at)) return false;
    int64_t ticks = 0, frames = 0, passes = 0;
    if (!points_->finder.AtLoopStart(at->next_tick)) return false;
    const int compared = points_->finder.comparisons();
    if (!points_->finder.Repeats(engine_, voices_, *at, &ticks, &frames, &passes)) {
      // The whole state first found not to come round here: a stretch from here on.
      if (compared == 0 && points_->finder.comparisons() == 1 && round_tick_ == at->next_tick)
        StartStretch(*at, last, round_period_);
      return false;
    }
    points_->repeat_known = true;
    points_->repeat_tick = at->next_tick - ticks;
    points_->repeat_frame = at->frame - frames;
    points_->repeat_ticks = ticks;
    points_->repeat_frames = frames;
    points_->repeat_passes = passes;
    // The state here is the one at the repeat's start: kept as such.
    if (points_->points.empty() || points_->points.back().at.next_tick != at->next_tick) {
      if (!Keep(*at)) return false;
    }
    return MoveToBest(at, last);
  }

  // How many ticks from `next_tick` on may be passed over as idle: up to the next loop start
  // while the loop starts are watched (the engine's state coming round, a stretch's ends, the
  // end of a pass that is to forget: each must be stood at).
  int64_t SkipLimit(int64_t next_tick, int64_t limit) const {
    if (!points_ || points_->repeat_known) return limit;
    if (!forgetting_ && (points_->stretch.known || points_->stretch.given_up)) return limit;
    return std::min(limit, points_->finder.TicksToLoopStart(next_tick));
  }

  // Moves on by whole repeats of the known stretch (none or more), to the last of its repeats'
  // ends at or before `last`, when that lies ahead of `at`. True when moved.
  bool MoveByStretch(ReplayPosition* at, int64_t last) {
    if (!points_ || points_->repeat_known || !points_->stretch.known) return false;
    LoopStretch& stretch = points_->stretch;
    if (last < stretch.end.frame) return false;
    const int64_t repeats = RepeatsBefore(stretch, last);
    const int64_t landing = RepeatEnd(stretch, repeats);
    if (landing <= at->frame) return false;
    Forget();
    if (!voices_.RestoreCheckpoint(stretch.voices)) {
      stretch.known = false;
      stretch.given_up = true;
      return false;
    }
    engine_.Restore(stretch.engine, 0);
    if (!voices_.RepeatLog(stretch.log, repeats)) {
      // Too involved to work out: the replay goes on from the stretch's end.
      stretch.known = false;
      stretch.given_up = true;
      *at = stretch.end;
      return true;
    }
    engine_.Restore(stretch.engine, repeats * stretch.passes);
    *at = {landing, stretch.end.next_tick + repeats * stretch.ticks};
    return true;
  }

  // Once a pass has forgotten, later seeks start from the loop start it was tried from and try
  // one for their own target. True when moved.
  bool MoveByForgetting(ReplayPosition* at, int64_t last) {
    if (!points_ || points_->repeat_known || !points_->forgetting_anchor.known) return false;
    const ForgettingAnchor& anchor = points_->forgetting_anchor;
    const int64_t jump = ForgettingJump(anchor.at, last, anchor.period);
    const int64_t loop = points_->finder.loop_steps();
    if (jump == 0 || FrameAt(anchor.at.next_tick + jump * loop) <= at->frame) return false;
    Forget();
    if (!voices_.RestoreCheckpoint(anchor.voices)) {
      points_->forgetting_anchor.known = false;
      return false;
    }
    engine_.Restore(anchor.engine, 0);
    *at = anchor.at;
    TryForgettingPass(at, last, anchor.period);
    return true;
  }

  // Where the song's loop starts fall, while a replay that holds its ticks (settling_replay.h)
  // is worth trying from `at` to `last`: no such replay has failed, and the song's repeat is
  // not known or the kept moments leave more than two passes to replay (a target before the
  // repeat that a replay from far into the song found).
  const RepeatFinder* SettlingLoop(const ReplayPosition& at, int64_t last) const {
    if (!points_ || points_->settling_failed) return nullptr;
    if (!points_->repeat_known) return &points_->finder;
    const int64_t first = points_->finder.first_loop_start();
    const int64_t pass = FrameAt(first + points_->finder.loop_steps()) - FrameAt(first);
    return last - at.frame > 2 * pass ? &points_->finder : nullptr;
  }
  void SettlingFailed() {
    if (points_) points_->settling_failed = true;
  }
  void SettlingLanded() {
    if (points_) ++points_->settled_seeks;
  }

  // Moves to the last kept moment at or before `last` when it lies ahead of `at`. True when
  // moved.
  bool MoveToBest(ReplayPosition* at, int64_t last) {
    if (!points_) return false;
    if (points_->stretch.known && !points_->repeat_known && last > points_->stretch.end.frame)
      last = points_->stretch.end.frame;  // further on, repeats of the stretch take over
    const ReplayCheckpoints& kept = *points_;
    const ReplayCheckpoint* best = nullptr;
    ReplayPosition best_at = *at;
    int64_t best_repeats = 0;
    for (const ReplayCheckpoint& point : kept.points) {
      int64_t repeats = 0;
      if (kept.repeat_known && point.at.next_tick >= kept.repeat_tick) {
        // The moment repeats every repeat_frames frames from the repeat's start on.
        repeats = FloorDivide(last - point.at.frame, kept.repeat_frames);
        if (repeats < -((point.at.next_tick - kept.repeat_tick) / kept.repeat_ticks)) continue;
      } else if (point.at.frame > last) {
        continue;
      }
      const int64_t frame = point.at.frame + repeats * kept.repeat_frames;
      if (frame <= best_at.frame) continue;
      best = &point;
      best_at = {frame, point.at.next_tick + repeats * kept.repeat_ticks};
      best_repeats = repeats;
    }
    if (!best) return false;
    if (!voices_.RestoreCheckpoint(best->voices)) {
      // The voices are no longer the ones kept (a voice made since): start keeping anew.
      Fresh(*at);
      return false;
    }
    Forget();
    engine_.Restore(best->engine, best_repeats * kept.repeat_passes);
    *at = best_at;
    return true;
  }

 private:
  bool Fits(const ReplayCheckpoints& kept) const {
    return kept.rate == rate_ && kept.master_volume == engine_.master_volume() &&
           kept.melody_ratio == engine_.melody().pitch_ratio() &&
           kept.drum_ratio == engine_.drums().pitch_ratio();
  }

  void Fresh(const ReplayPosition& at) {
    Forget();
    auto fresh = std::make_unique<ReplayCheckpoints>(engine_.song(), rate_);
    fresh->rate = rate_;
    fresh->master_volume = engine_.master_volume();
    fresh->melody_ratio = engine_.melody().pitch_ratio();
    fresh->drum_ratio = engine_.drums().pitch_ratio();
    fresh->explored_tick = at.next_tick - 1;
    if (kept_) {
      points_ = fresh.get();
      engine_.SetReplayCheckpoints(std::move(fresh));
    } else {
      own_ = std::move(fresh);
      points_ = own_.get();
    }
  }

  // Keeps the moment `at`; false (and nothing kept from now on) when the voices cannot be kept.
  bool Keep(const ReplayPosition& at) {
    std::vector<ReplayCheckpoint>& points = points_->points;
    if (points.size() >= ReplayCheckpoints::kMostCheckpoints) {
      // Every other moment goes (the first of each pair), the spacing doubles.
      size_t kept = 0;
      for (size_t i = 1; i < points.size(); i += 2) points[kept++] = std::move(points[i]);
      points.resize(kept);
      points_->spacing *= 2;
    }
    ReplayCheckpoint point;
    point.at = at;
    point.engine = engine_.Save();
    if (!voices_.SaveCheckpoint(&point.voices)) {
      if (kept_) engine_.SetReplayCheckpoints(nullptr);
      own_.reset();
      points_ = nullptr;
      return false;
    }
    points.push_back(std::move(point));
    return true;
  }

  // At a tick's frame, before it plays, at loop starts: looks for the engine's state to come
  // round (after one pass, or two: each note swaps a track's pair of buffers). Then, where a
  // tick's place within a frame recurs only after many passes, tries a pass that forgets (see
  // TryForgettingPass); and once the whole state has been found not to repeat where it most
  // often does (or at once, where that is many passes on), logs the calls of the passes after
  // which the engine's state comes round, keeps them when the engine stands where it stood at
  // their start, and moves on by their repeats. True when moved.
  bool LoopStartAtTick(ReplayPosition* at, int64_t last) {
    if (!points_ || points_->repeat_known || !points_->finder.AtLoopStart(at->next_tick))
      return false;
    if (forgetting_) return at->next_tick < forget_end_tick_ ? false : EndForgettingPass(at);
    if (log_) return at->next_tick < log_end_tick_ ? false : EndStretch(at, last);
    if (jumped_) return false;
    int64_t period = 0;
    for (size_t back = 1; back <= seen_.size() && period == 0; ++back)
      if (engine_.Matches(seen_[seen_.size() - back])) period = static_cast<int64_t>(back);
    seen_.push_back(engine_.Save());
    if (seen_.size() > 2) seen_.erase(seen_.begin());
    if (period == 0) return false;
    if (TryForgettingPass(at, last, period)) return true;
    // Stepping over repeats of the whole state costs less: where a tick's place within a frame
    // recurs within a few passes, a stretch is looked for once they have been found not to come
    // there (AtTick starts it at the loop start where that is first found). Where it recurs only
    // after many, a stretch (which holds for any place) is logged at once.
    round_period_ = period;
    round_tick_ = at->next_tick;
    if (points_->finder.comparisons() == 0 && points_->finder.phase_passes() <= kUsualPhasePasses)
      return false;
    StartStretch(*at, last, period);
    return false;
  }

  // At a loop start where the engine's state is found to come round every `period` passes:
  // logs the calls of the passes from here, unless a stretch is known or given up, or not worth
  // it.
  void StartStretch(const ReplayPosition& at, int64_t last, int64_t period) {
    LoopStretch& stretch = points_->stretch;
    if (log_ || stretch.known || stretch.given_up) return;
    // The calls are logged with the ticks they come at, so the stretch is one round of the
    // engine's state whatever the rate: its repeats start elsewhere within a frame, which the
    // log works out (voice_orbit.h).
    const int64_t passes = period;
    const int64_t ticks = SaturatingMultiply(passes, points_->finder.loop_steps());
    const int64_t frames = FrameAt(at.next_tick + ticks) - FrameAt(at.next_tick);
    // Worth it only when the target lies a few stretches on; not tried when the stretch would
    // hold more marks than a log keeps (each melody note makes at most four; a drum's hit puts
    // its voice back at its start, so a drum keeps at most three however often it is hit).
    if (frames <= 0 || last - at.frame < 2 * frames) return;
    constexpr int64_t kSongVoices = kMelodyTracks * kOctaves * 2 + kDrumSlots;
    if (SaturatingAdd(SaturatingMultiply(4 * MelodyNotesPerPass(engine_.song()), passes),
                      4 * kSongVoices) > static_cast<int64_t>(platform::VoiceCallLog::kMostMarks)) {
      stretch.given_up = true;
      return;
    }
    log_ = std::make_unique<platform::VoiceCallLog>();
    log_->CountTicks(static_cast<uint64_t>(FramesPer1000Ticks()), PhaseOf(at.next_tick));
    if (!voices_.StartLog(log_.get())) {
      log_.reset();
      stretch.given_up = true;
      return;
    }
    log_start_ = at;
    log_engine_ = engine_.Save();
    log_end_tick_ = at.next_tick + ticks;
    log_passes_ = passes;
  }

  // Where a tick's place within a frame recurs only after many passes (odd rates), the repeat
  // search needs that many. But where every voice forgets within a pass where it stood at the
  // pass's start (a drum restarts from 0, a note's buffer plays its period out to the end), the
  // state at a loop start follows from the engine's state alone. So, once the engine's state has
  // come round (after `period` passes), the replay jumps to the pass before the last loop start
  // before the target (a whole number of periods on), keeps the voices as they stand here, and
  // replays that one pass logging what its calls settle. If it forgets them all, the voices at
  // its end are exactly where a replay of every pass would have them; if not, the replay goes
  // back to where it stood and on as before (and no such pass is tried again). True when moved.
  bool TryForgettingPass(ReplayPosition* at, int64_t last, int64_t period) {
    const int64_t jump = ForgettingJump(*at, last, period);
    if (jump == 0) return false;
    forget_from_ = *at;
    forget_engine_ = engine_.Save();
    forget_period_ = period;
    if (!voices_.SaveCheckpoint(&forget_voices_)) return false;
    forget_log_ =
        std::make_unique<platform::VoiceCallLog>(platform::VoiceCallLog::Follows::kWhatSettles);
    engine_.Restore(forget_engine_, jump);
    const int64_t loop = points_->finder.loop_steps();
    *at = {FrameAt(at->next_tick + jump * loop), at->next_tick + jump * loop};
    if (!voices_.StartLog(forget_log_.get())) {
      forget_log_.reset();
      engine_.Restore(forget_engine_, 0);
      *at = forget_from_;
      points_->forgetting_failed = true;
      return false;
    }
    seen_.clear();
    forgetting_ = true;
    forget_end_tick_ = at->next_tick + loop;
    return true;
  }

  // The passes to jump over from the loop start `from` (whose engine state comes round every
  // `period` passes) so that the pass replayed next ends at the last loop start before `last`
  // (before it, not on it: a tick on the target is left to whoever plays on, and the pass's end
  // must be stood at); 0 when no such pass is to be tried.
  int64_t ForgettingJump(const ReplayPosition& from, int64_t last, int64_t period) const {
    if (points_->forgetting_failed || points_->finder.phase_passes() <= kUsualPhasePasses) return 0;
    const int64_t loop = points_->finder.loop_steps();
    // Loop start j from here falls on tick from.next_tick + j × loop; j is estimated, then found.
    const auto start_frame = [&](int64_t j) {
      return FrameAt(SaturatingAdd(from.next_tick, SaturatingMultiply(j, loop)));
    };
    const Wide per_pass = static_cast<Wide>(loop) * engine_.song().wait * rate_;
    int64_t j = static_cast<int64_t>(static_cast<Wide>(last - from.frame) * 1000 / per_pass) + 2;
    while (j > 0 && start_frame(j) >= last) --j;
    // The pass replayed ends at loop start j and starts a whole number of periods on.
    const int64_t jump = (j - 1) / period * period;
    return jump >= 2 ? jump : 0;
  }

  // At the end of the pass that was to forget: on from there, or back.
  bool EndForgettingPass(ReplayPosition* at) {
    voices_.StopLog();
    forgetting_ = false;
    const bool forgot = forget_log_->Forgets() && engine_.Matches(forget_engine_);
    forget_log_.reset();
    if (forgot) {
      // Exact from here, but nothing of this replay is kept (the passes jumped over were never
      // seen) but where it jumped from, for the seeks after.
      jumped_ = true;
      ForgettingAnchor& anchor = points_->forgetting_anchor;
      if (!anchor.known) {
        anchor.known = true;
        anchor.at = forget_from_;
        anchor.engine = forget_engine_;
        anchor.voices = std::move(forget_voices_);
        anchor.period = forget_period_;
      }
      return false;
    }
    points_->forgetting_failed = true;
    // The voices in use are the ones kept (a replay makes and releases none), so they go back.
    voices_.RestoreCheckpoint(forget_voices_);
    engine_.Restore(forget_engine_, 0);
    *at = forget_from_;
    return true;
  }

  bool EndStretch(ReplayPosition* at, int64_t last) {
    LoopStretch& stretch = points_->stretch;
    voices_.StopLog();
    std::unique_ptr<platform::VoiceCallLog> log = std::move(log_);
    seen_.clear();
    if (log->spoilt() || log->frames() != at->frame - log_start_.frame ||
        !engine_.Matches(log_engine_) || !voices_.SaveCheckpoint(&stretch.voices)) {
      stretch.given_up = true;
      return false;
    }
    stretch.known = true;
    stretch.end = *at;
    stretch.engine = engine_.Save();
    stretch.log = std::move(*log);
    stretch.ticks = at->next_tick - log_start_.next_tick;
    stretch.frames = at->frame - log_start_.frame;
    stretch.passes = log_passes_;
    return MoveByStretch(at, last);
  }

  // The replay moved: what it was looking at in a row of loop starts no longer follows on.
  void Forget() {
    seen_.clear();
    if (log_ || forget_log_) voices_.StopLog();
    log_.reset();
    forget_log_.reset();
    forgetting_ = false;
  }

  int64_t FrameAt(int64_t tick) const { return FrameOfTick(engine_.song().wait, rate_, tick); }

  // Output frames per 1000 ticks.
  int64_t FramesPer1000Ticks() const { return int64_t{engine_.song().wait} * rate_; }

  // Where tick `tick` falls within a frame, in thousandths (its frame is rounded to the nearest).
  uint32_t PhaseOf(int64_t tick) const {
    return static_cast<uint32_t>((static_cast<Wide>(tick) * FramesPer1000Ticks() + 500) % 1000);
  }

  // The frame at which `repeats` more repeats of the logged stretch after it end (each lasts its
  // ticks, so its frames, falling where the ticks do, differ by one from repeat to repeat).
  int64_t RepeatEnd(const LoopStretch& stretch, int64_t repeats) const {
    return FrameAt(
        SaturatingAdd(stretch.end.next_tick, SaturatingMultiply(repeats, stretch.ticks)));
  }

  // The most repeats after the logged stretch that end at or before frame `last`: from their
  // length on average, then exactly.
  int64_t RepeatsBefore(const LoopStretch& stretch, int64_t last) const {
    const Wide per_repeat = static_cast<Wide>(stretch.ticks) * FramesPer1000Ticks();
    int64_t repeats =
        static_cast<int64_t>(static_cast<Wide>(last - stretch.end.frame) * 1000 / per_repeat);
    while (repeats > 0 && RepeatEnd(stretch, repeats) > last) --repeats;
    while (RepeatEnd(stretch, repeats + 1) <= last) ++repeats;
    return repeats;
  }

  Engine& engine_;
  Voices& voices_;
  int rate_;
  bool kept_;
  ReplayCheckpoints* points_ = nullptr;
  std::unique_ptr<ReplayCheckpoints> own_;
  // The engine's state at the last loop starts of this replay, in a row.
  std::vector<Engine::SavedState> seen_;
  // The stretch being logged: where it began, the engine's state there, the tick that ends it.
  std::unique_ptr<platform::VoiceCallLog> log_;
  ReplayPosition log_start_;
  Engine::SavedState log_engine_;
  int64_t log_end_tick_ = 0;
  int64_t log_passes_ = 0;
  // The loop start (its tick) at which the engine's state was last seen to come round, and
  // after how many passes.
  int64_t round_tick_ = 0;
  int64_t round_period_ = 0;
  // The pass that is to forget (TryForgettingPass): where the replay stood before it, and all it
  // had made there; the tick that ends it; whether it forgot and the replay went on from it.
  bool forgetting_ = false;
  bool jumped_ = false;
  std::unique_ptr<platform::VoiceCallLog> forget_log_;
  ReplayPosition forget_from_;
  Engine::SavedState forget_engine_;
  platform::VoiceCheckpoint forget_voices_;
  int64_t forget_end_tick_ = 0;
  int64_t forget_period_ = 1;
};

template <typename Voices>
void PlayTicks(Engine& engine, Voices& voices, const TickClock& clock, int64_t target, int64_t last,
               Checkpointing<Voices>* checkpoints, ReplayPosition* at) {
  while (at->frame < target) {
    const int64_t tick_frame = clock.FrameOf(at->next_tick);
    if (tick_frame >= last) {
      voices.Advance(target - at->frame);
      at->frame = target;
      break;
    }
    voices.Advance(tick_frame - at->frame);
    at->frame = tick_frame;
    if (checkpoints && checkpoints->AtTick(at, last)) continue;
    engine.Tick();
    ++at->next_tick;
    // Steps that change nothing are passed over at once: a long silence (or a damaged song's
    // endless gap) costs no more than one step. Only those whose ticks fall before the target.
    const int64_t idle_limit = clock.TicksBefore(at->next_tick, last);
    at->next_tick += engine.SkipIdleSteps(
        checkpoints ? checkpoints->SkipLimit(at->next_tick, idle_limit) : idle_limit);
  }
}

// Replays the ticks up to `target` where `clock` places them, moving `voices` (Advance, the
// snapshot and the checkpoint calls) over the frames between them. At the song's own tempo from
// the start, kept moments and whole repeats of the song's state are used (see Checkpointing;
// `keep`: the engine's own moments), and before them a replay that holds its ticks up to a
// little before the target (settling_replay.h); under a tempo factor every step is replayed.
template <typename Voices>
void Replay(Engine& engine, Voices& voices, const TickClock& clock, int64_t target, int64_t end,
            bool keep, ReplayPosition* at) {
  const int64_t last = std::min(target, end);  // ticks before this frame play
  std::optional<Checkpointing<Voices>> checkpoints;
  if (clock.factor() == 1.0 && clock.from_start()) {
    checkpoints.emplace(engine, voices, clock.rate(), keep, *at);
    checkpoints->MoveToBest(at, last);
    checkpoints->MoveByStretch(at, last);
    checkpoints->MoveByForgetting(at, last);
    if (const RepeatFinder* loop = checkpoints->SettlingLoop(*at, last)) {
      SettlingReplay<Voices> settling(engine, voices, *loop, clock);
      const auto start = settling.HoldTo(last, at);
      if (start == SettlingReplay<Voices>::Start::kHeld) {
        PlayTicks<Voices>(engine, voices, clock, target, last, nullptr, at);
        if (settling.Landed(at)) {
          checkpoints->SettlingLanded();
          return;
        }
      }
      if (start != SettlingReplay<Voices>::Start::kNotTried) checkpoints->SettlingFailed();
    }
  }
  PlayTicks(engine, voices, clock, target, last, checkpoints ? &*checkpoints : nullptr, at);
}

}  // namespace

void ReplayTo(Engine& engine, platform::SoundMixer& mixer, int rate, int64_t target, int64_t end,
              ReplayPosition* at) {
  ReplayTo(engine, mixer, TickClock(engine.song().wait, rate), target, end, at);
}

void ReplayTo(Engine& engine, platform::SoundMixer& mixer, const TickClock& clock, int64_t target,
              int64_t end, ReplayPosition* at, bool keep) {
  MixerVoices voices{mixer};
  Replay(engine, voices, clock, target, end, keep, at);
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
         std::numeric_limits<int64_t>::max(), true, &seek->at);
  device->EndSeek(resume);
  return true;
}

}  // namespace org
