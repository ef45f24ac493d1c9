// Per-frame key facts for the jukebox: whether a key is down, whether it went down in this frame,
// and an auto-repeat pulse for held keys (at the press, 13 frames later, then every 2 frames);
// also ten logical buttons whose masks over the pad word come from the binary keycast.ini.
// One global instance, constructed before the entry point, updated at the end of every frame,
// queried by the jukebox screen. Main thread only.
#pragma once

#include <cstdint>

namespace app {

class KeyTracker {
 public:
  // Clears every state and reads keycast.ini from the working directory.
  KeyTracker();
  virtual ~KeyTracker() = default;

  // Samples the keyboard and pad 1 (with the keyboard folded in). Once per frame.
  void Update();
  // `code` is a key code 0..255 of the direct-input numbering.
  bool KeyDown(int code) const;
  bool KeyPressed(int code) const;
  bool KeyRepeat(int code) const;
  // `button` is 0..9.
  bool ButtonDown(int button) const;
  bool ButtonPressed(int button) const;

  // The masks after construction (tests).
  int32_t ButtonMask(int button) const { return button_masks_[button]; }

  // Feeds one update with given states instead of reading the devices (tests).
  void UpdateFrom(const uint8_t states[256], int32_t pad);

 private:
  void ReadKeycast();
  // Derives presses, pulses and pad bits from the key-down array just filled.
  void Advance(int32_t pad);

  uint8_t key_down_[257] = {};
  uint8_t key_held_[257] = {};
  uint8_t key_pressed_[257] = {};
  uint8_t repeat_phase_[257] = {};
  uint8_t repeat_counter_[257] = {};
  uint8_t repeat_pulse_[257] = {};
  int32_t button_masks_[16] = {};
  int32_t pad_now_ = 0;
  int32_t pad_previous_ = 0;
  int32_t pad_new_ = 0;
};

}  // namespace app
