// The offline output back end: no device and no thread; the caller pulls mixed frames when it
// wants them, so the same calls always give the same bytes. Used by tests and by the offline
// renderer. Its capabilities are whatever the caller says the device can do.
#pragma once

#include "runtime/platform/audio_output.h"

namespace platform {

struct OfflineOutputOptions {
  AudioCaps caps;              // what the pretended device reports
  bool device_present = true;  // false: Open fails, as with no sound device at all
  bool refuse_format = false;  // Start fails
};

class OfflineAudioOutput final : public AudioOutput {
 public:
  explicit OfflineAudioOutput(const OfflineOutputOptions& options = {});

  bool Open() override;
  AudioCaps Caps() const override { return options_.caps; }
  bool Start(const AudioFormat& format, AudioRenderSource* source) override;
  void Stop() override;
  void Close() override;
  bool IsRealtime() const override { return false; }
  std::vector<AudioDeviceName> EnumerateDevices() const override;
  AudioFormat CurrentFormat() const override { return format_; }

  // Mixes the next `frames` stereo 16-bit frames. Silence while the stream is stopped.
  void Render(int16_t* stereo, int frames);
  bool running() const { return source_ != nullptr; }

 private:
  OfflineOutputOptions options_;
  AudioFormat format_;
  AudioRenderSource* source_ = nullptr;
};

}  // namespace platform
