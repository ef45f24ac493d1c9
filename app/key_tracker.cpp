#include "app/key_tracker.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/core/input.h"
#include "runtime/platform/data_path.h"

namespace app {
namespace {

constexpr int32_t kDefaultMasks[16] = {0x8, 0x1, 0x4, 0x2, 0x20, 0x40, 0x80, 0x10, 0x800, 0x400};
constexpr int32_t kDirectionMasks[4] = {0x8, 0x1, 0x4, 0x2};  // up, down, right, left
constexpr int kFirstRepeat = 14;  // counted from the press: the pulse 13 updates later
constexpr int kRepeatEvery = 2;

bool ValidKey(int code) { return code >= 0 && code < 256; }
bool ValidButton(int button) { return button >= 0 && button < 10; }

}  // namespace

KeyTracker::KeyTracker() {
  std::memcpy(button_masks_, kDefaultMasks, sizeof button_masks_);
  ReadKeycast();
  std::memcpy(button_masks_, kDirectionMasks, sizeof kDirectionMasks);
}

void KeyTracker::ReadKeycast() {
  std::vector<uint8_t> bytes;
  if (!platform::ReadDataFile("keycast.ini", sizeof button_masks_, &bytes)) return;
  // Little-endian words; a shorter file replaces only what it covers.
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto& word = reinterpret_cast<uint32_t&>(button_masks_[i / 4]);
    const int shift = static_cast<int>(i % 4) * 8;
    word = (word & ~(0xFFu << shift)) | (static_cast<uint32_t>(bytes[i]) << shift);
  }
}

void KeyTracker::Update() {
  // Read in place: a failed read leaves the previous frame's keys as they were.
  runtime::ReadKeyboardState(key_down_);
  Advance(runtime::ReadPadState(1 | runtime::kPadKeyboardBit));
}

void KeyTracker::UpdateFrom(const uint8_t states[256], int32_t pad) {
  std::memcpy(key_down_, states, 256);
  Advance(pad);
}

void KeyTracker::Advance(int32_t pad) {
  pad_now_ = pad;
  for (int code = 0; code < 256; ++code) {
    repeat_pulse_[code] = 0;
    if (key_down_[code] != 1) {
      key_held_[code] = 0;
      key_pressed_[code] = 0;
      repeat_phase_[code] = 0;  // the counter keeps its value
      continue;
    }
    if (key_held_[code] == 0) {
      key_pressed_[code] = 1;
      repeat_phase_[code] = 1;
      repeat_pulse_[code] = 1;
      repeat_counter_[code] = 0;
    } else {
      key_pressed_[code] = 0;
    }
    key_held_[code] = 1;
    ++repeat_counter_[code];
    if (repeat_phase_[code] == 1 && repeat_counter_[code] == kFirstRepeat) {
      repeat_phase_[code] = 2;
      repeat_counter_[code] = 0;
      repeat_pulse_[code] = 1;
    }
    if (repeat_phase_[code] == 2 && repeat_counter_[code] == kRepeatEvery) {
      repeat_counter_[code] = 0;
      repeat_pulse_[code] = 1;
    }
  }
  pad_new_ = pad_now_ & ~pad_previous_;
  pad_previous_ = pad_now_;
}

bool KeyTracker::KeyDown(int code) const { return ValidKey(code) && key_down_[code] != 0; }
bool KeyTracker::KeyPressed(int code) const { return ValidKey(code) && key_pressed_[code] != 0; }
bool KeyTracker::KeyRepeat(int code) const { return ValidKey(code) && repeat_pulse_[code] != 0; }
bool KeyTracker::ButtonDown(int button) const {
  return ValidButton(button) && (pad_now_ & button_masks_[button]) != 0;
}
bool KeyTracker::ButtonPressed(int button) const {
  return ValidButton(button) && (pad_new_ & button_masks_[button]) != 0;
}

}  // namespace app
