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

 private:
  platform::SoundBuffer* Buffer(int track, int octave, int alternate) const {
    return buffers_[track][octave][alternate];
  }
  void TuneTrack(int track, int semitone, uint16_t finetune);
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
};

// The flags every engine buffer is created with.
inline constexpr uint32_t kEngineBufferFlags =
    platform::kBufferStatic | platform::kBufferControlFrequency | platform::kBufferControlPan |
    platform::kBufferControlVolume | platform::kBufferGlobalFocus;

// Org pan 0..12 to the device's pan (hundredths of a dB); false for values outside the table.
bool OrgPanToDevice(int pan, int32_t* device_pan);

// Org volume 0..254 to the device's volume: (volume - 255) * 8 hundredths of a dB.
inline int32_t OrgVolumeToDevice(int volume) { return (volume - 255) * 8; }

}  // namespace org
