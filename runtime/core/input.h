// Keyboard and pad input: the whole keyboard as 256 key states (direct-input scan codes), and the
// pad word that folds pad directions, pad buttons and a fixed set of keyboard keys into one bit
// set. Started by runtime start-up after the main window, ended at shut-down; read once per
// frame by the key tracker. Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/platform/input_devices.h"

namespace runtime {

inline constexpr int kMaxPads = 7;
inline constexpr int kPadKeyboardBit = 0x1000;  // ReadPadState: fold the keyboard keys in

int InitInput();
int EndInput();
// Fills 256 bytes with 1 for a key that is down, 0 for one that is up.
int ReadKeyboardState(uint8_t states[256]);
// `source`: a pad number 1..8 (0: no pad), plus kPadKeyboardBit for the keyboard keys.
int ReadPadState(int source);

void SetF10Down();
void SetF10Up();
void SetF12Down();
void SetF12Up();

// Replaces the devices the next InitInput uses (tests); null restores SDL's.
void SetInputDevicesForTesting(std::unique_ptr<platform::InputDevices> devices);
int RegisteredPadCount();
bool IsInputStarted();

// Ends input and forgets the replacement devices (tests).
void ResetInput();

}  // namespace runtime
