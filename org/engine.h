// One playing Org song: everything it needs in one object — the song's events, the sequencer's
// cursors and counters, the melody voices and drum slots, the master volume, the track mutes and
// the loop count — playing through a sound device it is given (the jukebox's real-time device,
// a test's recording device) or one of its own (offline rendering: see SongRenderer). Loading
// takes bytes; drums come from a provider the caller gives; problems come back as values. The
// engine never opens a file, never shows a notice and never writes a log: its callers decide.
// Any number of engines may live at once, each used by one thread at a time (the tick may run on
// a timer's thread while the owner only reads published values or sets the master volume).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "org/drum_slot_set.h"
#include "org/melody_voice_set.h"
#include "org/org_format.h"
#include "org/step_sequencer.h"
#include "org/wave_bank.h"
#include "runtime/platform/sound_interface.h"

namespace platform {
class MixingSoundDevice;
}

namespace org {

struct ReplayCheckpoints;

// Gives the bytes of a drum file (a WAV file as the drum slots read it) for a drum slot (0..7)
// and drum number (0..27). False when there is none: the slot stays silent. Called while a song
// loads, on the loading thread, at most once per slot.
using DrumProvider = std::function<bool(int slot, int drum, std::vector<uint8_t>* bytes)>;

// The drums of our own kit (the default).
DrumProvider BuiltInDrums();

enum class LoadStatus { kOk, kNotOrg, kDamaged };

// What a load did.
struct LoadReport {
  LoadStatus status = LoadStatus::kOk;
  // Per drum slot: the drum the song names (-1 when its number is outside the table), whether
  // the provider had it, and what the slot made of it.
  struct Drum {
    int drum = -1;
    bool provided = false;
    DrumLoadResult result = DrumLoadResult::kNotWav;
  } drums[kDrumSlots];
};

// A track's state as the last tick left it.
struct TrackState {
  uint8_t key = kNoValue;  // melody: the sounding key; drums: the key of a drum still sounding
  int32_t volume = 0;      // the track's volume 0..254, before the master volume
  uint8_t pan = 6;         // the last pan an event set, 0..12 (6: centre)
};

class Engine {
 public:
  // Plays through `device` (not owned; null: silent, every voice operation does nothing).
  explicit Engine(platform::SoundDevice* device = nullptr);
  // Plays through a device of its own that mixes offline at `rate` frames per second.
  static std::unique_ptr<Engine> Offline(int rate, bool nearest);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // The device (switch only while no song's voices exist: after ReleaseVoices).
  void SetDevice(platform::SoundDevice* device);
  platform::SoundDevice* device() const { return device_; }
  // The device this engine owns (offline engines), else null.
  platform::MixingSoundDevice* own_device() const { return own_device_.get(); }

  void SetWaveBank(std::shared_ptr<const WaveBank> bank);
  const WaveBank* wave_bank() const { return melody_.bank(); }

  // Loads a song from file bytes: parsed in full first (a file that is not a song, or damaged,
  // changes nothing), then the melody voices are made from the bank, the drum slots from the
  // provider's bytes, and the sequencer rewound to step 0. The per-track playing state carries
  // over from the song before. Only while no tick runs.
  LoadReport Load(const uint8_t* data, size_t size, const DrumProvider& drums);
  const ParsedSong& song() const { return song_; }
  // The song with every event taken away (the state before any load).
  void SetEmptySong(const ParsedSong& song);

  // Plays one step. On the thread that drives the engine.
  void Tick();
  // Moves over up to `limit` coming steps that would change nothing (see
  // StepSequencer::IdleStepsAhead), as if they had been played; right after a Tick. Returns how
  // many. For seeking: the voices' own movement over those steps is the caller's.
  int64_t SkipIdleSteps(int64_t limit);
  // Ends every melody note (each sounding buffer finishes its period). Only while no tick runs.
  void EndNotes();
  // Releases every voice and drum slot.
  void ReleaseVoices();

  // Back to the moment the song was loaded: sequencer and voice state as they were then, every
  // buffer of the engine's own device stopped and reset. Only while no tick runs; an engine on
  // another's device (the jukebox's) needs that device's voices reset by its owner first.
  void Rewind();

  // The overall volume 0..127 that scales every track's volume. Any thread.
  void SetMasterVolume(int32_t volume) { master_volume_.store(volume, std::memory_order_relaxed); }
  int32_t master_volume() const { return master_volume_.load(std::memory_order_relaxed); }

  // Live mute of track 0..15: its voices go on exactly as if heard. Any thread.
  void SetTrackMuted(int track, bool muted);
  bool track_muted(int track) const;

  // Published for displays on other threads: the step the next tick plays, and how often
  // playback has returned to the loop start (counted as the step after the loop-back begins).
  int32_t published_step() const { return published_step_.load(std::memory_order_relaxed); }
  int32_t loop_count() const { return loop_count_.load(std::memory_order_relaxed); }
  // The step the last tick played (-1 before the first tick after a load or rewind).
  int32_t last_played_step() const { return last_played_.load(std::memory_order_relaxed); }

  // State for the thread that drives the engine (or while no tick runs).
  const SequencerState& sequencer_state() const { return sequencer_.state(); }
  SequencerState& mutable_sequencer_state() { return sequencer_.mutable_state(); }
  void SeekStep(int32_t step);
  TrackState track_state(int track) const;
  MelodyVoiceSet& melody() { return melody_; }
  DrumSlotSet& drums() { return drums_; }

  // For seeking: keeps the sequencer's whole state (cursors, counters, volumes, pans, the
  // sounding keys, what the loop count waits for), and compares the state now with it. Never
  // allocates.
  void SaveSnapshot();
  bool MatchesSnapshot() const;
  // The sequencer back to its start: step 0, no event ahead on any track, counters cleared,
  // the master volume 127, no loop-backs.
  void ResetSequencer();

 private:
  struct CarriedState {
    SequencerState sequencer;
    MelodyVoiceSet::PlayingState melody;
    TrackActivity activity;
  };
  struct Snapshot {
    CarriedState carried;
    bool loopback_pending = false;
    bool loop_entered = false;
    int32_t last_played = 0;
    int32_t master_volume = 0;
  };

 public:
  // For seeking: the whole state the ticks move (the snapshot's, and the loop count), kept to
  // come back to (Restore: the master volume stays as it is).
  struct SavedState {
    Snapshot snapshot;
    int32_t loop_count = 0;
  };
  SavedState Save() const;
  // True when the ticks have brought the engine back to `state` (the loop count aside): from
  // here on they play what they played from there.
  bool Matches(const SavedState& state) const;
  // Back to `state`, with `passes` more returns to the loop start counted (may be negative).
  void Restore(const SavedState& state, int64_t passes);
  // For a seek (settling_replay.h): while `hold`, no call of the ticks reaches the melody
  // voices' and drum slots' buffers; they keep what each was last given and played instead (see
  // MelodyVoiceSet::HoldControls).
  void HoldVoiceControls(bool hold) {
    melody_.HoldControls(hold);
    drums_.HoldControls(hold);
  }
  // The tick the calls held from now on belong to.
  void SetHeldTick(int64_t tick) {
    melody_.SetHeldTick(tick);
    drums_.SetHeldTick(tick);
  }
  // Moments of a replay kept for later seeks (step_replay.cpp): dropped whenever what the ticks
  // do changes (a load, a device or bank change, a sequencer reset).
  ReplayCheckpoints* replay_checkpoints() { return checkpoints_.get(); }
  const ReplayCheckpoints* replay_checkpoints() const { return checkpoints_.get(); }
  void SetReplayCheckpoints(std::unique_ptr<ReplayCheckpoints> checkpoints);

 private:
  Snapshot Now() const;
  bool SameAsNow(const Snapshot& kept) const;
  // Counts `passes` more returns to the loop start, saturated.
  void AddLoopCount(int64_t passes);

  void PublishStep();
  void ResetLoopCount();

  std::unique_ptr<platform::MixingSoundDevice> own_device_;
  platform::SoundDevice* device_ = nullptr;
  ParsedSong song_;
  MelodyVoiceSet melody_;
  DrumSlotSet drums_;
  StepSequencer sequencer_;
  CarriedState at_load_{};
  std::atomic<int32_t> master_volume_{127};
  std::atomic<int32_t> published_step_{0};
  std::atomic<int32_t> loop_count_{0};
  std::atomic<int32_t> last_played_{-1};
  std::atomic<uint32_t> muted_tracks_{0};
  bool loopback_pending_ = false;  // the last tick went back to the loop start
  bool loop_entered_ = true;       // the loop start has sounded (a jump there is a return)
  Snapshot snapshot_{};
  std::unique_ptr<ReplayCheckpoints> checkpoints_;
};

}  // namespace org
