// The platform's input devices behind the runtime's keyboard and pad reads: the keyboard as 256
// key states in the direct-input numbering (0x80 for a key that is down), and joysticks as pads
// with axes in -1000..1000 (25 % dead zone) and up to 24 buttons. The SDL back end reads SDL's
// keyboard state and joysticks; tests install a fake to make reads, acquires and set-up steps
// fail. Main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class DeviceResult { kOk, kInputLost, kError };

struct PadReading {
  int32_t x = 0;  // -1000..1000
  int32_t y = 0;
  uint8_t buttons[32] = {};  // 0x80 when pressed
};

// One step of setting up a pad; a back end may refuse any of them.
enum class PadSetupStep {
  kDataFormat,
  kCooperativeLevel,
  kXRange,
  kYRange,
  kXDeadZone,
  kYDeadZone
};

class InputDevices {
 public:
  virtual ~InputDevices() = default;
  // The direct-input object: creating and initialising the service.
  virtual bool Create() = 0;
  virtual bool Initialise() = 0;
  // Attached pads, in enumeration order.
  virtual int PadCount() = 0;
  virtual bool OpenPad(int index) = 0;
  virtual std::string PadInstanceName(int index) = 0;
  virtual std::string PadProductName(int index) = 0;
  virtual bool SetUpPad(int index, PadSetupStep step) = 0;
  virtual DeviceResult AcquirePad(int index) = 0;
  virtual DeviceResult ReadPad(int index, PadReading* reading) = 0;
  virtual void ClosePad(int index) = 0;
  // The system keyboard.
  virtual bool CreateKeyboard() = 0;
  virtual bool SetKeyboardFormat() = 0;
  virtual bool SetKeyboardCooperativeLevel() = 0;
  virtual DeviceResult AcquireKeyboard() = 0;
  virtual DeviceResult ReadKeyboard(uint8_t states[256]) = 0;
  virtual void CloseKeyboard() = 0;
  virtual void Release() = 0;
};

// The real back end on SDL2 (keyboard state and joysticks).
std::unique_ptr<InputDevices> MakeSdlInputDevices();

// Scales an SDL axis value (-32768..32767) to -1000..1000 with a 25 % dead zone around 0.
int32_t ScalePadAxis(int16_t value);

}  // namespace platform
