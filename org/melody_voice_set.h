// The eight melody voices of one song: per melody track, sixteen small looping buffers (for each
// of eight octaves a pair holding the track's waveform at that octave's length) on the song's
// sound device. A note tunes the track's buffers to its pitch and loops the buffer of its octave;
// ending a note lets that buffer finish its period. One-shot tracks play a fixed number of
// periods once. The per-track playing state (the sounding key, which buffer of the pair is in
// use) outlives a song: the next song loaded into the same voices starts from it.
// Threads: voices are built and released while no tick runs; notes, pan and volume come from the
// tick. Owned by an Engine.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "org/org_format.h"
#include "org/wave_bank.h"
#include "runtime/platform/sound_interface.h"

namespace org {

inline constexpr int kOctaves = 8;

// The rate a track's buffer of `octave` is tuned to for `semitone`, in samples per second.
uint32_t MelodyRate(int octave, int semitone, uint16_t finetune);
// `rate` multiplied by `ratio` (a transposition), rounded and kept within what a buffer accepts;
// exactly `rate` at ratio 1.
uint32_t TransposedRate(uint32_t rate, double ratio);

// A call that a seek's held steps kept instead of giving it to a buffer (see
// MelodyVoiceSet::HoldControls): its value, the order it came in and the tick it belongs to.
struct HeldControl {
  int32_t value = 0;
  uint32_t order = 0;  // 1, 2, ... (0: nothing held)
  int64_t tick = 0;
};

// Stamps the calls of a hold with their order and tick; a new hold counts from 1 again.
class HeldStamps {
 public:
  void Restart() { next_order_ = 1; }
  void SetTick(int64_t tick) { tick_ = tick; }
  uint32_t next_order() const { return next_order_; }
  HeldControl Stamp(int32_t value) { return {value, next_order_++, tick_}; }

 private:
  uint32_t next_order_ = 1;
  int64_t tick_ = 0;
};

class MelodyVoiceSet {
 public:
  MelodyVoiceSet() = default;
  ~MelodyVoiceSet() { ReleaseAll(); }
  MelodyVoiceSet(const MelodyVoiceSet&) = delete;
  MelodyVoiceSet& operator=(const MelodyVoiceSet&) = delete;

  // The device the buffers are made on (null: every operation does nothing). Change it only
  // with every voice released.
  void SetDevice(platform::SoundDevice* device) { device_ = device; }
  platform::SoundDevice* device() const { return device_; }
  void SetBank(std::shared_ptr<const WaveBank> bank) { bank_ = std::move(bank); }
  const WaveBank* bank() const { return bank_.get(); }

  // Builds the track's sixteen buffers from waveform `wave`, sustained (`one_shot` 0) or
  // one-shot. False when `wave` is above 99 (the old buffers stay) or a buffer cannot be made.
  bool Make(int track, uint8_t wave, uint8_t one_shot);
  void Release(int track);
  void ReleaseAll();

  // Notes. `key` is octave * 12 + semitone (0..95; other keys are ignored); `finetune` adds
  // finetune - 1000 samples per second to every rate.
  void StartNote(int track, uint8_t key, uint16_t finetune);
  void EndNote(int track);
  void StartOneShotNote(int track, uint8_t key, uint16_t finetune);
  void EndOneShotNote(int track);
  // Pan 0..12 (others ignored) and volume 0..254, on the buffer that sounds now.
  void SetPan(int track, uint8_t pan);
  void SetVolume(int track, int volume);

  // Every rate the voices are tuned to is multiplied by `ratio` (a transposition; 1: none,
  // the rates exactly as they are), kept within what a buffer accepts. A sounding note is
  // retuned at once. From the tick's thread.
  void SetPitchRatio(double ratio);
  double pitch_ratio() const { return pitch_ratio_; }
  // The rate a note of `key` plays at on this set's voices (the ratio applied).
  uint32_t NoteRate(uint8_t key, uint16_t finetune) const;
  // The buffer a note of `octave` plays from on `track` (null when there is none), for a voice
  // of its own that shares its samples.
  platform::SoundBuffer* octave_buffer(int track, int octave) const {
    return track >= 0 && track < kMelodyTracks && octave >= 0 && octave < kOctaves
               ? buffers_[track][octave][0]
               : nullptr;
  }

  // The playing state (the key that sounds, 255 when none; which buffer of the pair).
  uint8_t current_key(int track) const { return current_key_[track]; }
  int alternate(int track) const { return alternate_[track]; }
  struct PlayingState {
    uint8_t current_key[kMelodyTracks];
    int alternate[kMelodyTracks];
    friend bool operator==(const PlayingState&, const PlayingState&) = default;
  };
  PlayingState playing_state() const;
  void RestorePlayingState(const PlayingState& state);
  // Silent tracks, first buffers of each pair (a fresh start).
  void ClearPlayingState();

  // For a seek that plays steps without their voices (settling_replay.h): while held, no call
  // reaches the buffers. Tunings, pans, volumes and plays are kept instead, the last of each per
  // buffer with the order and the tick it came in (so that a seek can give each buffer only the
  // last setting it would have had, and know which buffers were played and when). Starting a
  // hold clears them. From the tick's thread.
  struct HeldControls {
    HeldControl semitone[kMelodyTracks];  // of the track's last tuning (at its finetune)
    uint16_t finetune[kMelodyTracks] = {};
    HeldControl pan[kMelodyTracks][kOctaves][2];     // the device's pan
    HeldControl volume[kMelodyTracks][kOctaves][2];  // the device's volume
    HeldControl play[kMelodyTracks][kOctaves][2];    // 1: looping, 0: once
  };
  void HoldControls(bool hold);
  // The tick the calls held from now on belong to.
  void SetHeldTick(int64_t tick) { stamps_.SetTick(tick); }
  const HeldControls& held() const { return held_; }
  // The order the next held setting gets.
  uint32_t held_order() const { return stamps_.next_order(); }
  // Once the ticks moved over whole rounds of steps that repeat: what is held there.
  void SetHeld(const HeldControls& held) { held_ = held; }
  // What is held `rounds` rounds of `round_ticks` ticks on from a moment where `at` was held, in
  // a round of steps (that repeat) which began when the order stood at `round_start` and ended
  // holding `round_end`: a setting held in the round before that moment is the same again (that
  // many rounds later); one held only after it in the round was the last before the moment the
  // rounds on (a round earlier); one never held in the round is what it was.
  static HeldControls RoundsOn(const HeldControls& at, const HeldControls& round_end,
                               uint32_t round_start, int64_t rounds, int64_t round_ticks);
  // Whether a buffer of `frames` sample frames played once from tick `tick` on, at `rate`
  // samples per second (0: any rate, a buffer takes none below kMinFrequency), has surely played
  // to its end by the end of the held ticks: it then stands stopped at its start.
  using RanOutTest = std::function<bool(int64_t tick, uint32_t frames, uint32_t rate)>;
  // Before the hold ends: every buffer a note played or ended while held, except those surely
  // played out, is stopped (where each stands is for the seek to settle; the stop tells the
  // device's log which they were).
  void StopTouched(const RanOutTest& ran_out);
  // After that (with no log of the device's calls kept): the buffers surely played out are put
  // where playing out leaves them: stopped at their start, played once.
  void RewindRanOut(const RanOutTest& ran_out);
  // Gives each buffer what `held` holds for it (a tuning retunes the whole track).
  void GiveHeld(const HeldControls& held);

 private:
  platform::SoundBuffer* Buffer(int track, int octave, int alternate) const {
    return buffers_[track][octave][alternate];
  }
  void TuneTrack(int track, int semitone, uint16_t finetune);
  // Plays a buffer looping or once (marks it, while held).
  void PlayBuffer(int track, int octave, int alternate, bool looping);
  // A note on the track's buffer pair: looping until its end (`sustained`) or played once.
  void StartKey(int track, uint8_t key, uint16_t finetune, bool sustained);

  platform::SoundDevice* device_ = nullptr;
  std::shared_ptr<const WaveBank> bank_;
  platform::SoundBuffer* buffers_[kMelodyTracks][kOctaves][2] = {};
  uint8_t current_key_[kMelodyTracks] = {kNoValue, kNoValue, kNoValue, kNoValue,
                                         kNoValue, kNoValue, kNoValue, kNoValue};
  int alternate_[kMelodyTracks] = {};
  double pitch_ratio_ = 1.0;
  uint16_t tuned_finetune_[kMelodyTracks] = {};  // the finetune of each track's last tuning
  // Whether the buffer was last played once (while held), long enough ago to have ended.
  bool RanOut(int track, int octave, int alternate, const RanOutTest& ran_out) const;

  bool holding_ = false;
  HeldControls held_;
  HeldStamps stamps_;
  uint32_t buffer_frames_[kMelodyTracks][kOctaves] = {};  // the samples each buffer holds
};

// `at`, unless it was held before the round began and `round_end` in it (see RoundsOn), its
// tick moved on by the rounds.
inline HeldControl HeldRoundsOn(HeldControl at, HeldControl round_end, uint32_t round_start,
                                int64_t rounds, int64_t round_ticks) {
  if (at.order >= round_start) {
    at.tick += rounds * round_ticks;
    return at;
  }
  if (round_end.order < round_start) return at;
  round_end.tick += (rounds - 1) * round_ticks;
  return round_end;
}

// The flags every engine buffer is created with.
inline constexpr uint32_t kEngineBufferFlags =
    platform::kBufferStatic | platform::kBufferControlFrequency | platform::kBufferControlPan |
    platform::kBufferControlVolume | platform::kBufferGlobalFocus;

// Org pan 0..12 to the device's pan (hundredths of a dB); false for values outside the table.
bool OrgPanToDevice(int pan, int32_t* device_pan);

// Org volume 0..254 to the device's volume: (volume - 255) * 8 hundredths of a dB.
inline int32_t OrgVolumeToDevice(int volume) { return (volume - 255) * 8; }

}  // namespace org
