// The real-time output back end on SDL2 audio. SDL's audio thread calls back for each block; the
// callback pulls the block from the mixer (with the block's span of call time from StreamClock)
// and converts it to the stream's format. The callback never allocates and takes only the
// mixer's short locks.
#pragma once

#include <SDL.h>

#include <atomic>
#include <vector>

#include "runtime/platform/audio_output.h"
#include "runtime/platform/stream_clock.h"

namespace platform {

class SdlAudioOutput final : public AudioOutput {
 public:
  // `block_frames`: frames per callback, a power of two (SDL 2.26 writes past its own buffers
  // with other sizes); 0 chooses 512 (11.6 ms at 44100), or 1024 above 48000 samples per second.
  explicit SdlAudioOutput(int block_frames = 0);
  ~SdlAudioOutput() override;

  bool Open() override;
  AudioCaps Caps() const override { return caps_; }
  bool Start(const AudioFormat& format, AudioRenderSource* source) override;
  void Stop() override;
  void Close() override;
  bool IsRealtime() const override { return true; }
  std::vector<AudioDeviceName> EnumerateDevices() const override;
  AudioFormat CurrentFormat() const override { return format_; }

  // Number of callbacks so far (for measurements).
  uint64_t callbacks() const { return callbacks_.load(std::memory_order_relaxed); }

 private:
  static void SDLCALL Callback(void* self, Uint8* stream, int length);
  void Fill(Uint8* stream, int length);
  int BlockFrames(int rate) const;

  int block_frames_;
  bool subsystem_started_ = false;
  SDL_AudioDeviceID device_ = 0;
  AudioCaps caps_;
  AudioFormat format_;
  AudioRenderSource* source_ = nullptr;
  std::vector<int16_t> scratch_;  // one block of stereo frames, sized at Start
  StreamClock clock_;
  std::atomic<uint64_t> callbacks_{0};
};

}  // namespace platform
