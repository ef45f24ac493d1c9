// A sound device for engine tests that makes no sound: it records every buffer call in order and
// keeps each buffer's content and settings, so tests can check exactly what the engine asked for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/platform/sound_interface.h"

namespace test_support {

class RecordingBuffer;

struct SoundCall {
  int buffer = -1;    // index into RecordingSoundDevice::buffers
  std::string what;   // "create", "lock", "unlock", "position", "play", "stop", "frequency",
                      // "volume", "pan", "release"
  int64_t value = 0;  // play: 1 looping / 0 once; position, frequency, volume, pan: the value
};

struct RecordedBuffer {
  platform::SoundBufferDesc desc;
  std::vector<uint8_t> content;
  bool released = false;
  bool playing = false;
  bool looping = false;
  uint32_t frequency = 0;
  int32_t volume = 0;
  int32_t pan = 0;
};

class RecordingSoundDevice final : public platform::SoundDevice {
 public:
  RecordingSoundDevice();
  ~RecordingSoundDevice() override;

  platform::SoundBuffer* CreateSoundBuffer(const platform::SoundBufferDesc& desc) override;
  void SetOutputGain(int32_t gain_q15) override { output_gains.push_back(gain_q15); }

  // Calls since the last Clear, optionally only those of one kind.
  std::vector<SoundCall> Calls(const std::string& what = "") const;
  void ClearCalls() { calls_.clear(); }
  int LiveBuffers() const;

  std::vector<RecordedBuffer> buffers;
  std::vector<int32_t> output_gains;  // every gain set on the whole output
  int creates_before_failure = -1;    // >= 0: that many creates succeed, then each fails
  bool fail_lock = false;

 private:
  friend class RecordingBuffer;
  std::vector<SoundCall> calls_;
  std::vector<std::unique_ptr<RecordingBuffer>> owned_;
};

}  // namespace test_support
