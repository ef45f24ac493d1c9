// The sound device the music engine makes all its sound on, handed over by the music player's
// initialisation. Null while no device is open: every voice operation then does nothing.
#pragma once

#include "runtime/platform/sound_interface.h"

namespace org {

void SetEngineSoundDevice(platform::SoundDevice* device);
platform::SoundDevice* EngineSoundDevice();

// The flags every engine buffer is created with.
inline constexpr uint32_t kEngineBufferFlags =
    platform::kBufferStatic | platform::kBufferControlFrequency | platform::kBufferControlPan |
    platform::kBufferControlVolume | platform::kBufferGlobalFocus;

// Org pan 0..12 to the device's pan (hundredths of a dB); false for values outside the table.
bool OrgPanToDevice(int pan, int32_t* device_pan);

// Org volume 0..254 to the device's volume: (volume - 255) * 8 hundredths of a dB.
inline int32_t OrgVolumeToDevice(int volume) { return (volume - 255) * 8; }

}  // namespace org
