// The runtime's sound device: opened once at start-up, closed at shut-down, handed to the music
// engine in between. Opening logs its steps, sets the primary output format from the device's
// capabilities (its channels and sample size, its rate but never above 44100), keeps a 400-byte
// silent buffer looping, waits (a few seconds at most) until the output plays at its steady pace,
// so that whatever starts next is heard from its first sound, and writes a device report to the
// log. Main thread.
#pragma once

#include <functional>
#include <memory>

#include "runtime/platform/audio_output.h"
#include "runtime/platform/mixing_sound_device.h"

namespace runtime {

// Opens the device: 0 when open, -1 otherwise (also when already open).
int OpenSoundDevice();

// Closes the device: 0, or -1 when none was open. The users of the device are first told to let
// go of it (see SetSoundDeviceReleaseHook), so no other thread is left playing on its buffers.
int CloseSoundDevice();

// What a user of the device runs before it closes: stop whatever plays on the device from other
// threads (a music timer) and release its buffers. Called on every path that closes the device
// (shut-down, fatal error exit), on the main thread; null for none. The application sets it.
using SoundDeviceReleaseHook = void (*)();
void SetSoundDeviceReleaseHook(SoundDeviceReleaseHook hook);

// The open device, or null.
platform::SoundDevice* GetSoundDevice();
// The same, with the platform's own controls (mixer, output); null when closed.
platform::MixingSoundDevice* GetMixingSoundDevice();

// Hooks of the streamed-sound and MIDI facilities, which this system never uses.
int ServiceSoundStreams();  // -1 when no device is open, else 0
int StopMidi();             // 0
int OnMidiNotify();         // 0

// Chooses the output back end that opening uses. The default is the SDL2 real-time output; the
// offline renderer and tests install an offline one. An empty factory restores the default.
using AudioOutputFactory = std::function<std::unique_ptr<platform::AudioOutput>()>;
void SetAudioOutputFactory(AudioOutputFactory factory);

// Makes chosen steps of the next opening fail (tests).
void SetSoundDeviceFaultsForTesting(const platform::SoundDeviceFaults& faults);

// The primary format opening chooses for a device with these capabilities.
platform::WaveFormat ChoosePrimaryFormat(const platform::AudioCaps& caps);

// Closes any open device and restores the default back end and faults (tests).
void ResetSoundDevice();

}  // namespace runtime
