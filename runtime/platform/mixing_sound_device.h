// The sound device of this platform: a SoundDevice whose buffers are voices of our own software
// mixer, delivered through an AudioOutput back end (SDL2 in real time, or offline). It also offers
// the device-level steps the runtime's opening sequence goes through: cooperative level, primary
// buffer, capabilities, primary format and the list of installed devices. Owned by the runtime's
// sound module; the music engine sees only the SoundDevice interface.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "runtime/platform/audio_output.h"
#include "runtime/platform/sound_interface.h"
#include "runtime/platform/sound_mixer.h"

namespace platform {

// Steps that tests can make fail, to reach every failure path of the opening sequence.
struct SoundDeviceFaults {
  bool cooperative_level = false;
  bool primary_buffer = false;
  bool primary_format = false;
  bool create_buffer = false;
  bool lock_buffer = false;
};

class MixingSoundDevice final : public SoundDevice {
 public:
  // Takes hold of the output through `output`; null when the back end has no device.
  static std::unique_ptr<MixingSoundDevice> Create(std::unique_ptr<AudioOutput> output,
                                                   const SoundDeviceFaults& faults = {});
  ~MixingSoundDevice() override;
  MixingSoundDevice(const MixingSoundDevice&) = delete;
  MixingSoundDevice& operator=(const MixingSoundDevice&) = delete;

  bool SetCooperativeLevel();
  // Starts the output in the device's own format.
  bool CreatePrimaryBuffer();
  bool HasPrimaryBuffer() const { return primary_started_; }
  void ReleasePrimaryBuffer();
  AudioCaps GetCaps() const;
  // Restarts the output in `format` (PCM, 1 or 2 channels, 8 or 16 bits). On refusal the output
  // goes on in the device's own format and false is returned.
  bool SetPrimaryFormat(const WaveFormat& format);
  std::vector<AudioDeviceName> EnumerateDevices() const;

  SoundBuffer* CreateSoundBuffer(const SoundBufferDesc& desc) override;
  void SetOutputPaused(bool paused) override { mixer_.SetPaused(paused); }
  void SetOutputGain(int32_t gain_q15) override { mixer_.SetOutputGain(gain_q15); }

  SoundMixer& mixer() { return mixer_; }
  AudioOutput& output() { return *output_; }
  // The number of buffers created and not yet released.
  int LiveBufferCount() const;

 private:
  MixingSoundDevice(std::unique_ptr<AudioOutput> output, const SoundDeviceFaults& faults);
  AudioFormat DefaultFormat() const;
  bool StartOutput(const AudioFormat& format);

  friend class MixedSoundBuffer;
  std::unique_ptr<AudioOutput> output_;
  SoundDeviceFaults faults_;
  SoundMixer mixer_;
  bool primary_started_ = false;
  std::atomic<int> live_buffers_{0};
};

// True when `desc` describes a secondary buffer the device accepts.
bool IsAcceptableBufferDesc(const SoundBufferDesc& desc);

}  // namespace platform
