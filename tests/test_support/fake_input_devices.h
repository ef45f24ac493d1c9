// Input devices for tests: a keyboard and pads whose states the test sets, and switches that
// make each step fail the way a real device can (lost input, refused acquire, refused set-up).
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "runtime/platform/input_devices.h"

namespace test_support {

struct FakeInputControls {
  bool fail_create = false;
  bool fail_initialise = false;
  bool fail_keyboard_create = false;
  bool fail_keyboard_format = false;
  bool fail_keyboard_cooperative = false;
  int keyboard_acquire_failures = 0;  // this many acquires fail first
  int keyboard_reads_lost = 0;        // this many reads report lost input first
  bool keyboard_read_error = false;   // reads fail with another error
  uint8_t keys[256] = {};             // 0x80 for a key that is down
  struct Pad {
    std::string name = "Fake Pad";
    bool fail_open = false;
    int fail_step = -1;  // a PadSetupStep that is refused
    bool unplugged = false;
    platform::PadReading reading;
  };
  std::vector<Pad> pads;
  int pad_acquires = 0;
  int pad_reads = 0;
  bool released = false;
};

class FakeInputDevices final : public platform::InputDevices {
 public:
  explicit FakeInputDevices(FakeInputControls* controls) : c_(controls) {}
  bool Create() override { return !c_->fail_create; }
  bool Initialise() override { return !c_->fail_initialise; }
  int PadCount() override { return static_cast<int>(c_->pads.size()); }
  bool OpenPad(int index) override { return !c_->pads[index].fail_open; }
  std::string PadInstanceName(int index) override { return c_->pads[index].name; }
  std::string PadProductName(int index) override { return c_->pads[index].name + " product"; }
  bool SetUpPad(int index, platform::PadSetupStep step) override {
    return c_->pads[index].fail_step != static_cast<int>(step);
  }
  platform::DeviceResult AcquirePad(int index) override {
    ++c_->pad_acquires;
    return c_->pads[index].unplugged ? platform::DeviceResult::kError : platform::DeviceResult::kOk;
  }
  platform::DeviceResult ReadPad(int index, platform::PadReading* reading) override {
    ++c_->pad_reads;
    if (c_->pads[index].unplugged) return platform::DeviceResult::kInputLost;
    *reading = c_->pads[index].reading;
    return platform::DeviceResult::kOk;
  }
  void ClosePad(int) override {}
  bool CreateKeyboard() override { return !c_->fail_keyboard_create; }
  bool SetKeyboardFormat() override { return !c_->fail_keyboard_format; }
  bool SetKeyboardCooperativeLevel() override { return !c_->fail_keyboard_cooperative; }
  platform::DeviceResult AcquireKeyboard() override {
    if (c_->keyboard_acquire_failures > 0) {
      --c_->keyboard_acquire_failures;
      return platform::DeviceResult::kError;
    }
    return platform::DeviceResult::kOk;
  }
  platform::DeviceResult ReadKeyboard(uint8_t states[256]) override {
    if (c_->keyboard_reads_lost > 0) {
      --c_->keyboard_reads_lost;
      return platform::DeviceResult::kInputLost;
    }
    if (c_->keyboard_read_error) return platform::DeviceResult::kError;
    std::memcpy(states, c_->keys, 256);
    return platform::DeviceResult::kOk;
  }
  void CloseKeyboard() override {}
  void Release() override { c_->released = true; }

 private:
  FakeInputControls* c_;
};

}  // namespace test_support
