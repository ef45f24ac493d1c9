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
  // `max_voices` bounds the buffers that may exist at once (a song of its own needs 136).
  static std::unique_ptr<MixingSoundDevice> Create(std::unique_ptr<AudioOutput> output,
                                                   const SoundDeviceFaults& faults = {},
                                                   int max_voices = SoundMixer::kMaxVoices);
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
  void SetGroupMuted(int group, bool muted) override { mixer_.SetGroupMuted(group, muted); }
  void SetGroupMetering(bool on) override { mixer_.SetGroupMetering(on); }
  void ResetGroupPeaks() override { mixer_.ResetGroupPeaks(); }
  int32_t GroupPeak(int group) override { return mixer_.GroupPeak(group); }
  void SetGroupTapFrames(int frames) override { mixer_.SetGroupTapFrames(frames); }
  int CopyGroupTap(int group, int32_t* mono, int count) override {
    return mixer_.CopyGroupTap(group, mono, count);
  }
  int SeekRate() override { return mixer_.output_rate(); }
  void BeginSeek() override;
  void SeekVoices(int64_t frames) override { mixer_.AdvanceFrames(frames); }
  void EndSeek(bool resume) override;
  void SaveSeekSnapshot() override { mixer_.SaveVoiceSnapshot(); }
  bool SeekVoicesMatchSnapshot() override { return mixer_.VoicesMatchSnapshot(); }
  bool SaveSeekCheckpoint(VoiceCheckpoint* checkpoint) override {
    mixer_.SaveCheckpoint(checkpoint);
    return true;
  }
  bool RestoreSeekCheckpoint(const VoiceCheckpoint& checkpoint) override {
    return mixer_.RestoreCheckpoint(checkpoint);
  }
  bool StartSeekLog(VoiceCallLog* log) override {
    mixer_.StartCallLog(log);
    return true;
  }
  void StopSeekLog() override { mixer_.StopCallLog(); }
  bool RepeatSeekLog(const VoiceCallLog& log, int64_t repeats) override {
    return mixer_.RepeatCallLog(log, repeats);
  }

  bool SetMixerSamples(SoundBuffer* buffer, VoiceSamples samples) override;
  bool ShareSamples(SoundBuffer* buffer, SoundBuffer* source) override;

  SoundMixer& mixer() { return mixer_; }
  AudioOutput& output() { return *output_; }
  // The number of buffers created and not yet released.
  int LiveBufferCount() const;

 private:
  MixingSoundDevice(std::unique_ptr<AudioOutput> output, const SoundDeviceFaults& faults,
                    int max_voices);
  AudioFormat DefaultFormat() const;
  bool StartOutput(const AudioFormat& format);

  friend class MixedSoundBuffer;
  std::unique_ptr<AudioOutput> output_;
  SoundDeviceFaults faults_;
  SoundMixer mixer_;
  bool primary_started_ = false;
  bool realtime_before_seek_ = false;
  std::atomic<int> live_buffers_{0};
};

// True when `desc` describes a secondary buffer the device accepts.
bool IsAcceptableBufferDesc(const SoundBufferDesc& desc);

}  // namespace platform
