// The real-time output back end on SDL2 audio. SDL's audio thread calls back for each block; the
// callback pulls the block from the mixer (with the block's span of call time from StreamClock)
// and converts it to the stream's format. The callback never allocates and takes only the
// mixer's short locks.
//
// Blocks are 2048 frames (46 ms at 44100 Hz): SDL asks a sound server (PulseAudio, or PipeWire
// speaking its protocol) for one block as the whole buffer it keeps, and with 512 frames (11.6
// ms) a server's scheduling on a busy desktop left audible gaps. The stream clock keeps every
// control call on its stamped frame whatever the block size; the cost is latency (the line runs
// two blocks, 93 ms, behind), which a jukebox does not feel.
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
  // with other sizes); 0 chooses 2048 (46 ms at 44100), or 4096 above 48000 samples per second.
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
  uint64_t Underruns() const override { return underruns_.load(std::memory_order_relaxed); }
  bool Streaming() const override { return streaming_.load(std::memory_order_acquire); }

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
  std::atomic<uint64_t> underruns_{0};
  std::atomic<bool> streaming_{false};
};

}  // namespace platform
