// The sound device and sound buffer contract that the music engine programs against: a device
// creates secondary buffers of PCM samples; each buffer is filled through Lock/Unlock and
// controlled by play, stop, position, frequency, volume and pan. The real device mixes every
// playing buffer into the output (MixingSoundDevice); tests substitute recording fakes.
//
// Units: lengths and positions in bytes; rates in samples (frames) per second; volume and pan in
// hundredths of a decibel. Calls on one buffer may come from any thread, but not from two threads
// at once; the device itself accepts calls from several threads.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/platform/voice_samples.h"

namespace platform {

// PCM wave format, laid out as the classic WAVEFORMATEX fields.
struct WaveFormat {
  uint16_t format_tag = 0;  // 1 = PCM, the only tag a buffer accepts
  uint16_t channels = 0;
  uint32_t samples_per_sec = 0;
  uint32_t avg_bytes_per_sec = 0;
  uint16_t block_align = 0;  // bytes per frame
  uint16_t bits_per_sample = 0;
  uint16_t extra_size = 0;
};
inline constexpr uint16_t kWaveFormatPcm = 1;

// Buffer description flags. The engine creates every buffer with static, frequency, pan, volume
// and global-focus control; a buffer behaves the same whichever of them are given.
enum SoundBufferFlags : uint32_t {
  kBufferPrimary = 0x00000001,
  kBufferStatic = 0x00000002,
  kBufferControlPan = 0x00000040,
  kBufferControlFrequency = 0x00000020,
  kBufferControlVolume = 0x00000080,
  kBufferGlobalFocus = 0x00008000,
};

struct SoundBufferDesc {
  uint32_t flags = 0;
  uint32_t length_bytes = 0;
  WaveFormat format;
  // Beyond the classic description: the group (the music engine's track, 0..15) whose voices
  // the device can mute, meter and tap together; -1 for none. Devices without groups ignore it.
  int group = -1;
};

// Play flags: looping repeats the whole buffer without a gap; 0 plays it once.
inline constexpr uint32_t kPlayLooping = 0x00000001;

// Accepted ranges of the control calls; values outside are refused and leave the old setting.
inline constexpr int32_t kMinVolume = -10000;  // hundredths of a dB; 0 is full volume
inline constexpr int32_t kMaxVolume = 0;
inline constexpr int32_t kMinPan = -10000;  // negative attenuates the right channel
inline constexpr int32_t kMaxPan = 10000;   // positive attenuates the left channel
inline constexpr uint32_t kMinFrequency = 100;
inline constexpr uint32_t kMaxFrequency = 200000;
// A buffer's own rate may be lower than kMinFrequency.
inline constexpr uint32_t kMinCreateRate = 1;
inline constexpr uint32_t kMaxBufferBytes = 0x0FFFFFFF;  // the largest buffer a device makes

class SoundBuffer {
 public:
  // Gives up to two writable regions covering `bytes` bytes from `offset` in order (the second is
  // empty unless the range wraps past the end). The writes become the buffer's content at Unlock.
  // Fails on a range outside the buffer or while the buffer is already locked.
  [[nodiscard]] virtual bool Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1,
                                  void** region2, uint32_t* bytes2) = 0;
  // Commits the regions of the last Lock; the byte counts say how much was written.
  virtual bool Unlock(void* region1, uint32_t bytes1, void* region2, uint32_t bytes2) = 0;
  // Moves the play position to `offset` bytes (rounded down to a whole frame).
  virtual bool SetCurrentPosition(uint32_t offset) = 0;
  // Starts a stopped buffer at its position, or changes the mode of a playing one.
  virtual bool Play(uint32_t flags) = 0;
  // Stops at once; the position stays where it stopped.
  virtual bool Stop() = 0;
  // Play rate in samples per second, kMinFrequency..kMaxFrequency.
  virtual bool SetFrequency(uint32_t samples_per_sec) = 0;
  virtual bool SetVolume(int32_t hundredths_db) = 0;
  virtual bool SetPan(int32_t hundredths_db) = 0;
  // State as the output currently plays it (it runs a short latency behind the control calls).
  virtual bool GetStatus(bool* playing, bool* looping) = 0;
  virtual bool GetCurrentPosition(uint32_t* offset) = 0;
  // Stops the buffer and frees it; the object must not be used afterwards.
  virtual void Release() = 0;

 protected:
  virtual ~SoundBuffer() = default;
};

// The playing state of a device's voices at one moment (see SaveSeekCheckpoint): each voice in
// use, by slot, and the order the playing ones are mixed in.
struct VoiceCheckpoint {
  struct Voice {
    uint64_t position = 0;
    uint64_t step = 0;
    int32_t slot = -1;
    uint32_t generation = 0;
    uint32_t rate = 0;
    int32_t volume = 0;
    int32_t pan = 0;
    bool playing = false;
    bool looping = false;
    friend bool operator==(const Voice&, const Voice&) = default;
  };
  std::vector<Voice> voices;
  std::vector<int32_t> active;
};

class VoiceCallLog;

class SoundDevice {
 public:
  // Creates a secondary buffer: stopped, at position 0, full volume, centred, at the format's own
  // rate, its content silent. Returns null when the description is refused: not PCM, not 8-bit
  // unsigned or 16-bit signed, not 1 or 2 channels, a rate outside 1..200000, a block alignment
  // that does not match, or a length that is not at least one whole frame or above
  // kMaxBufferBytes.
  virtual SoundBuffer* CreateSoundBuffer(const SoundBufferDesc& desc) = 0;
  // For a device that mixes itself: `buffer` (made by this device) plays `samples`, given in the
  // mixer's own form with as many frames as the buffer holds, in place of a Lock and an Unlock;
  // its bytes are not kept and can no longer be locked. False, with nothing changed, where the
  // device takes samples only through Lock (the caller writes them so) or for samples of
  // another shape.
  virtual bool SetMixerSamples(SoundBuffer* /*buffer*/, VoiceSamples /*samples*/) { return false; }
  // `buffer` plays the samples of `source` (both made by this device; `source` null: its own
  // again), without copying or allocating: a twin buffer, or a voice of its own playing
  // another's instrument. A buffer playing another's samples stops when those are replaced or
  // released. False where the device cannot.
  virtual bool ShareSamples(SoundBuffer* /*buffer*/, SoundBuffer* /*source*/) { return false; }

  // Beyond the buffers, for a player: silences the whole output with every buffer held where it
  // is, or lets it go on; and the gain of the whole output (Q15, 32768 = 0 dB, applied before
  // the final 16-bit saturation). Devices that cannot do either ignore them.
  virtual void SetOutputPaused(bool) {}
  virtual void SetOutputGain(int32_t) {}

  // Groups of buffers (SoundBufferDesc::group), for players and displays: a muted group's
  // buffers go on playing unheard; metering keeps each group's peak since the last reset (in
  // 16-bit units, 32768 full scale); taps keep the last frames of each group's own signal.
  // Devices without groups ignore them (and report nothing).
  virtual void SetGroupMuted(int /*group*/, bool /*muted*/) {}
  virtual void SetGroupMetering(bool /*on*/) {}
  virtual void ResetGroupPeaks() {}
  virtual int32_t GroupPeak(int /*group*/) { return 0; }
  virtual void SetGroupTapFrames(int /*frames*/) {}
  virtual int CopyGroupTap(int /*group*/, int32_t* /*mono*/, int /*count*/) { return 0; }

  // Seeking, for a player: the voices moved as mixing would move them, without mixing them.
  // SeekRate: the output's frames per second when the device can (it mixes its voices itself),
  // else 0, and then the other three do nothing. BeginSeek holds the output still and silent,
  // applies every call waiting and puts every voice back at its start (stopped, at 0, full
  // volume, centred); SeekVoices moves every playing voice `frames` output frames ahead; EndSeek
  // lets the output go on (`resume`) or leaves it silent with every voice where it stands.
  virtual int SeekRate() { return 0; }
  virtual void BeginSeek() {}
  virtual void SeekVoices(int64_t /*frames*/) {}
  virtual void EndSeek(bool /*resume*/) {}
  // During a seek: keeps the playing state of every voice, and compares the state now with the
  // one kept, so that a seek can step over whole repeats of a song's sound. A device that cannot
  // keep it never matches (and the seek replays every step).
  virtual void SaveSeekSnapshot() {}
  virtual bool SeekVoicesMatchSnapshot() { return false; }
  // During a seek: keeps every voice's playing state in `checkpoint` (false when the device
  // cannot), and puts it back (false, with nothing changed, when the voices in use are no longer
  // the ones kept), so that a seek can start from a moment replayed before.
  virtual bool SaveSeekCheckpoint(VoiceCheckpoint* /*checkpoint*/) { return false; }
  virtual bool RestoreSeekCheckpoint(const VoiceCheckpoint& /*checkpoint*/) { return false; }
  // During a seek: every call of a stretch of the replay is logged (from StartSeekLog, false when
  // the device cannot, to StopSeekLog), and every voice then moves as `repeats` more replays of
  // that stretch would move it, at once (RepeatSeekLog: false, with nothing changed, when it
  // cannot, and the seek replays them), so that a seek can step over passes of a loop whose
  // voices never come back to the same phases.
  virtual bool StartSeekLog(VoiceCallLog* /*log*/) { return false; }
  virtual void StopSeekLog() {}
  virtual bool RepeatSeekLog(const VoiceCallLog& /*log*/, int64_t /*repeats*/) { return false; }

 protected:
  virtual ~SoundDevice() = default;
};

}  // namespace platform
