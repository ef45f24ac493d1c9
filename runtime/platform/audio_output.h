// The output back end under the sound device: where mixed frames go. Two implementations share
// this interface: the real-time one on SDL2 audio (its own thread pulls frames from the mixer),
// and the offline one, where the caller pulls frames itself (tests and the offline renderer).
// Chosen when the sound device is opened.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The output's rate unless one is asked for (CD quality), in frames per second: the real-time
// output's request, the offline output's, and the engine's renders.
inline constexpr int kDefaultOutputRate = 44100;

// What an output device can do, reported at opening.
struct AudioCaps {
  bool primary_mono = true;
  bool primary_stereo = true;
  bool primary_8bit = true;
  bool primary_16bit = true;
  bool secondary_mono = true;
  bool secondary_stereo = true;
  bool secondary_8bit = true;
  bool secondary_16bit = true;
  uint32_t min_secondary_rate = 100;    // samples per second
  uint32_t max_secondary_rate = kDefaultOutputRate;  // the device's own output rate
  uint32_t total_memory_bytes = 0;      // software mixing: no sound memory
  uint32_t free_memory_bytes = 0;
};

// The format frames are delivered in.
struct AudioFormat {
  int channels = 2;          // 1 or 2
  int bits_per_sample = 16;  // 8 (unsigned) or 16 (signed)
  int rate = kDefaultOutputRate;  // frames per second
};

struct AudioDeviceName {
  std::string module;       // UTF-8
  std::string description;  // UTF-8
};

// The span of command time that one block of output stands for, on the ClockUs() time line.
// A control call stamped at time t takes effect at frame (t - start_us) / (end_us - start_us) of
// the block; calls stamped at or after end_us wait for a later block.
struct BlockTiming {
  int64_t start_us = 0;
  int64_t end_us = 0;
};

// What a back end pulls from: fills `frames` stereo 16-bit frames (interleaved left, right).
// `timing` is null when the block stands for no particular time (offline): every pending call
// then takes effect at the block's first frame.
class AudioRenderSource {
 public:
  virtual void RenderFrames(int16_t* stereo, int frames, const BlockTiming* timing) = 0;

 protected:
  virtual ~AudioRenderSource() = default;
};

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // Takes hold of the output device and reads its capabilities. False when there is none.
  virtual bool Open() = 0;
  virtual AudioCaps Caps() const = 0;
  // Starts (or restarts) delivering in `format`, pulling from `source`. False when the format is
  // refused; the previous stream, if any, is then stopped.
  virtual bool Start(const AudioFormat& format, AudioRenderSource* source) = 0;
  // Stops pulling; after it returns `source` is no longer called.
  virtual void Stop() = 0;
  // Releases the device (stops first).
  virtual void Close() = 0;
  // True when frames are pulled by a thread of the back end's own at the pace of a real device.
  virtual bool IsRealtime() const = 0;
  // The installed output devices.
  virtual std::vector<AudioDeviceName> EnumerateDevices() const = 0;
  // The format of the running stream.
  virtual AudioFormat CurrentFormat() const = 0;
  // Underruns seen so far: blocks asked for later than the device needed them (0 where the
  // back end cannot tell). Any thread.
  virtual uint64_t Underruns() const { return 0; }
  // True once the started stream plays at its steady pace: a sound server may take a second to
  // start consuming, and calls made before then would all land on its first blocks. Any thread.
  virtual bool Streaming() const { return true; }
};

}  // namespace platform
