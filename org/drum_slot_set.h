// The eight drum slots of one song (tracks 8..15): each one sound buffer holding a drum sample
// read from the bytes of a RIFF WAV file at fixed offsets, restarted at a rate chosen by the
// note's key. The slots never open files: the bytes come from whoever loads the song.
// Threads: loaded and released while no tick runs; played, panned and set in volume by the tick.
// Owned by an Engine.
#pragma once

#include <cstddef>
#include <cstdint>

#include "org/melody_voice_set.h"
#include "org/org_format.h"
#include "runtime/platform/sound_interface.h"

namespace org {

// The largest drum file the game's loaders read, in bytes: a longer file is read only this far
// from a data path (the slot then holds what was read) and is not taken for a drum from a
// user's folder.
inline constexpr size_t kMaxDrumFileBytes = 64u << 20;

// Why a slot holds no drum after a load.
enum class DrumLoadResult {
  kLoaded,
  kNotWav,        // fewer than 58 bytes, or not "RIFF" at the start
  kCreateFailed,  // the device refused the sample's format or length
  kLockFailed,    // the buffer was made but could not be filled (it stays, silent)
};

class DrumSlotSet {
 public:
  DrumSlotSet() = default;
  ~DrumSlotSet() { ReleaseAll(); }
  DrumSlotSet(const DrumSlotSet&) = delete;
  DrumSlotSet& operator=(const DrumSlotSet&) = delete;

  // The device the buffers are made on (null: every operation does nothing). Change it only
  // with every slot released.
  void SetDevice(platform::SoundDevice* device) { device_ = device; }

  // Loads the bytes of a drum file into a slot: the format at byte 20, the data length at byte
  // 54 and the samples from byte 58 (a file that ends early gives what it holds).
  DrumLoadResult Load(const uint8_t* file, size_t size, int slot);
  void Release(int slot);
  void ReleaseAll();

  // Restarts the slot's sample at key * 800 + 100 samples per second, played once.
  void Play(int slot, uint8_t key);
  // Pan 0..12 (others ignored) and volume 0..254.
  void SetPan(int slot, uint8_t pan);
  void SetVolume(int slot, int volume);

  // Every drum's rate is multiplied by `ratio` (drums transposed with the melody; 1: as the game
  // plays them). From the next hit on.
  void SetPitchRatio(double ratio) { pitch_ratio_ = ratio; }
  double pitch_ratio() const { return pitch_ratio_; }
  // The rate a hit of `key` plays at.
  uint32_t HitRate(uint8_t key) const;
  // The slot's buffer (null when it holds no drum), for a voice of its own that shares it.
  platform::SoundBuffer* slot_buffer(int slot) const {
    return has_voice(slot) ? slots_[slot] : nullptr;
  }

  // For a seek that plays steps without their voices (settling_replay.h): as
  // MelodyVoiceSet::HoldControls, the hits (with their rates), pans and volumes are kept (the
  // last of each per slot, in order, with their ticks) while no call reaches a slot.
  struct HeldControls {
    // The last hit's rate, in samples per second: a hit restarts the sample from its start,
    // played once, and sets the rate, which nothing else changes.
    HeldControl rate[kDrumSlots];
    HeldControl pan[kDrumSlots];  // the device's pan
    HeldControl volume[kDrumSlots];
  };
  void HoldControls(bool hold);
  void SetHeldTick(int64_t tick) { stamps_.SetTick(tick); }
  const HeldControls& held() const { return held_; }
  uint32_t held_order() const { return stamps_.next_order(); }
  void SetHeld(const HeldControls& held) { held_ = held; }
  static HeldControls RoundsOn(const HeldControls& at, const HeldControls& round_end,
                               uint32_t round_start, int64_t rounds, int64_t round_ticks);
  // As MelodyVoiceSet's: the slots hit while held are stopped, but for those whose last hit
  // has surely played out (at its own rate), which are afterwards put back at their start.
  void StopTouched(const MelodyVoiceSet::RanOutTest& ran_out);
  void RewindRanOut(const MelodyVoiceSet::RanOutTest& ran_out);
  // Gives each slot what `held` holds for it.
  void GiveHeld(const HeldControls& held);

  bool has_voice(int slot) const { return slot >= 0 && slot < kDrumSlots && slots_[slot]; }
  // True while the slot's sample plays (as the output has it).
  bool IsSounding(int slot) const;

 private:
  platform::SoundDevice* device_ = nullptr;
  platform::SoundBuffer* slots_[kDrumSlots] = {};
  double pitch_ratio_ = 1.0;
  bool RanOut(int slot, const MelodyVoiceSet::RanOutTest& ran_out) const;

  bool holding_ = false;
  HeldControls held_;
  HeldStamps stamps_;
  uint32_t slot_frames_[kDrumSlots] = {};  // the sample frames each slot's buffer holds
};

}  // namespace org
