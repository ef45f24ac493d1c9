#include <SDL.h>

#include <algorithm>
#include <vector>

#include "runtime/platform/input_devices.h"
#include "runtime/platform/key_codes.h"

namespace platform {
namespace {

class SdlInputDevices final : public InputDevices {
 public:
  ~SdlInputDevices() override { Release(); }

  bool Create() override { return true; }
  bool Initialise() override {
    if (started_) return true;
    started_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_EVENTS) == 0;
    return started_;
  }

  int PadCount() override { return started_ ? std::max(0, SDL_NumJoysticks()) : 0; }
  bool OpenPad(int index) override {
    if (index >= static_cast<int>(pads_.size()))
      pads_.resize(static_cast<size_t>(index) + 1, nullptr);
    pads_[static_cast<size_t>(index)] = SDL_JoystickOpen(index);
    return pads_[static_cast<size_t>(index)] != nullptr;
  }
  std::string PadInstanceName(int index) override {
    const char* name = SDL_JoystickNameForIndex(index);
    return name ? name : "";
  }
  std::string PadProductName(int index) override { return PadInstanceName(index); }
  bool SetUpPad(int index, PadSetupStep) override { return Pad(index) != nullptr; }
  DeviceResult AcquirePad(int index) override {
    return Pad(index) && SDL_JoystickGetAttached(Pad(index)) ? DeviceResult::kOk
                                                             : DeviceResult::kError;
  }
  DeviceResult ReadPad(int index, PadReading* reading) override {
    SDL_Joystick* pad = Pad(index);
    // An unplugged pad reads as an error; the runtime then tries to acquire it again.
    if (!pad || !SDL_JoystickGetAttached(pad)) return DeviceResult::kInputLost;
    SDL_JoystickUpdate();
    *reading = PadReading{};
    if (SDL_JoystickNumAxes(pad) > 0) reading->x = ScalePadAxis(SDL_JoystickGetAxis(pad, 0));
    if (SDL_JoystickNumAxes(pad) > 1) reading->y = ScalePadAxis(SDL_JoystickGetAxis(pad, 1));
    const int buttons = std::min(SDL_JoystickNumButtons(pad), 32);
    for (int b = 0; b < buttons; ++b)
      reading->buttons[b] = SDL_JoystickGetButton(pad, b) ? 0x80 : 0;
    // A hat acts as the directions too.
    if (SDL_JoystickNumHats(pad) > 0) {
      const Uint8 hat = SDL_JoystickGetHat(pad, 0);
      if (hat & SDL_HAT_LEFT) reading->x = -1000;
      if (hat & SDL_HAT_RIGHT) reading->x = 1000;
      if (hat & SDL_HAT_UP) reading->y = -1000;
      if (hat & SDL_HAT_DOWN) reading->y = 1000;
    }
    return DeviceResult::kOk;
  }
  void ClosePad(int index) override {
    if (SDL_Joystick* pad = Pad(index)) SDL_JoystickClose(pad);
    if (index < static_cast<int>(pads_.size())) pads_[static_cast<size_t>(index)] = nullptr;
  }

  bool CreateKeyboard() override { return started_; }
  bool SetKeyboardFormat() override { return true; }
  bool SetKeyboardCooperativeLevel() override { return true; }
  DeviceResult AcquireKeyboard() override {
    return started_ ? DeviceResult::kOk : DeviceResult::kError;
  }
  DeviceResult ReadKeyboard(uint8_t states[256]) override {
    if (!started_) return DeviceResult::kError;
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    std::fill(states, states + 256, uint8_t{0});
    for (int scancode = 0; scancode < count; ++scancode)
      if (keys[scancode])
        if (uint8_t code = KeyCodeOfScancode(static_cast<SDL_Scancode>(scancode)))
          states[code] = 0x80;
    return DeviceResult::kOk;
  }
  void CloseKeyboard() override {}

  void Release() override {
    for (size_t i = 0; i < pads_.size(); ++i) ClosePad(static_cast<int>(i));
    pads_.clear();
    if (started_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_EVENTS);
    started_ = false;
  }

 private:
  SDL_Joystick* Pad(int index) {
    return index >= 0 && index < static_cast<int>(pads_.size()) ? pads_[static_cast<size_t>(index)]
                                                                : nullptr;
  }

  bool started_ = false;
  std::vector<SDL_Joystick*> pads_;
};

}  // namespace

int32_t ScalePadAxis(int16_t value) {
  const int32_t scaled = std::clamp<int32_t>(value * 1000 / 32767, -1000, 1000);
  const int32_t magnitude = scaled < 0 ? -scaled : scaled;
  if (magnitude <= 250) return 0;  // the dead zone: a quarter of the range
  const int32_t outside = (magnitude - 250) * 1000 / 750;
  return scaled < 0 ? -outside : outside;
}

std::unique_ptr<InputDevices> MakeSdlInputDevices() { return std::make_unique<SdlInputDevices>(); }

}  // namespace platform
