#include "runtime/platform/mixing_sound_device.h"

#include <algorithm>
#include <atomic>

namespace platform {

// One secondary buffer: the bytes as written through Lock (kept here, on the control side) and
// the mixer voice that plays their converted form; or, once given samples in the mixer's form
// (TakeSamples), the voice alone: no bytes are kept and none can be locked.
class MixedSoundBuffer final : public SoundBuffer {
 public:
  MixedSoundBuffer(MixingSoundDevice* device, VoiceId voice, const WaveFormat& format,
                   std::vector<uint8_t> content)
      : device_(device),
        voice_(voice),
        format_(format),
        length_bytes_(static_cast<uint32_t>(content.size())),
        content_(std::move(content)) {}

  // The voice plays `samples` (as many frames as the buffer holds, in its channels); the bytes
  // go. False, with nothing changed, while locked or for samples of another shape, and when Lock
  // is made to fail (a fault under test): the caller then meets that failure through Lock.
  bool TakeSamples(VoiceSamples samples) {
    if (locked_ || device_->faults_.lock_buffer || samples.channels != format_.channels ||
        uint64_t{samples.frames} * format_.block_align != length_bytes_ ||
        samples.samples.size() != (size_t{samples.frames} + 1) * format_.channels)
      return false;
    device_->mixer_.ReplaceSamples(voice_, std::move(samples));
    content_ = {};
    return true;
  }

  bool Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2,
            uint32_t* bytes2) override {
    const uint32_t length = static_cast<uint32_t>(content_.size());
    if (locked_ || device_->faults_.lock_buffer || !region1 || !bytes1) return false;
    if (offset >= length || bytes == 0 || bytes > length) return false;
    const uint32_t first = std::min(bytes, length - offset);
    *region1 = content_.data() + offset;
    *bytes1 = first;
    if (region2) *region2 = first < bytes ? content_.data() : nullptr;
    if (bytes2) *bytes2 = bytes - first;
    if (!region2 && first < bytes) return false;  // the caller cannot take the wrapped part
    locked_ = true;
    return true;
  }

  bool Unlock(void* region1, uint32_t, void*, uint32_t) override {
    if (!locked_ || !region1) return false;
    locked_ = false;
    device_->mixer_.ReplaceSamples(
        voice_, ConvertPcm(content_.data(), static_cast<uint32_t>(content_.size()),
                           format_.channels, format_.bits_per_sample));
    return true;
  }

  bool SetCurrentPosition(uint32_t offset) override {
    if (offset >= length_bytes_) return false;
    device_->mixer_.SetPosition(voice_, offset / format_.block_align);
    return true;
  }

  bool Play(uint32_t flags) override {
    device_->mixer_.Play(voice_, (flags & kPlayLooping) != 0);
    return true;
  }

  bool Stop() override {
    device_->mixer_.Stop(voice_);
    return true;
  }

  bool SetFrequency(uint32_t samples_per_sec) override {
    if (samples_per_sec < kMinFrequency || samples_per_sec > kMaxFrequency) return false;
    device_->mixer_.SetFrequency(voice_, samples_per_sec);
    return true;
  }

  bool SetVolume(int32_t hundredths_db) override {
    if (hundredths_db < kMinVolume || hundredths_db > kMaxVolume) return false;
    device_->mixer_.SetVolume(voice_, hundredths_db);
    return true;
  }

  bool SetPan(int32_t hundredths_db) override {
    if (hundredths_db < kMinPan || hundredths_db > kMaxPan) return false;
    device_->mixer_.SetPan(voice_, hundredths_db);
    return true;
  }

  bool GetStatus(bool* playing, bool* looping) override {
    return device_->mixer_.GetState(voice_, playing, looping, nullptr);
  }

  bool GetCurrentPosition(uint32_t* offset) override {
    uint32_t frame = 0;
    if (!offset || !device_->mixer_.GetState(voice_, nullptr, nullptr, &frame)) return false;
    *offset = frame * format_.block_align;
    return true;
  }

  VoiceId voice() const { return voice_; }

  void Release() override {
    device_->mixer_.RemoveVoice(voice_);
    device_->live_buffers_.fetch_sub(1, std::memory_order_relaxed);
    delete this;
  }

 private:
  ~MixedSoundBuffer() override = default;

  MixingSoundDevice* device_;
  VoiceId voice_;
  WaveFormat format_;
  uint32_t length_bytes_;
  std::vector<uint8_t> content_;  // empty once the samples were given in the mixer's form
  bool locked_ = false;
};

bool IsAcceptableBufferDesc(const SoundBufferDesc& desc) {
  const WaveFormat& f = desc.format;
  if (desc.flags & kBufferPrimary) return false;
  if (f.format_tag != kWaveFormatPcm) return false;
  if (f.bits_per_sample != 8 && f.bits_per_sample != 16) return false;
  if (f.channels != 1 && f.channels != 2) return false;
  if (f.samples_per_sec < kMinCreateRate || f.samples_per_sec > kMaxFrequency) return false;
  if (f.block_align != f.channels * f.bits_per_sample / 8) return false;
  return desc.length_bytes >= f.block_align && desc.length_bytes <= kMaxBufferBytes;
}

std::unique_ptr<MixingSoundDevice> MixingSoundDevice::Create(std::unique_ptr<AudioOutput> output,
                                                             const SoundDeviceFaults& faults,
                                                             int max_voices) {
  if (!output || !output->Open()) return nullptr;
  return std::unique_ptr<MixingSoundDevice>(
      new MixingSoundDevice(std::move(output), faults, max_voices));
}

MixingSoundDevice::MixingSoundDevice(std::unique_ptr<AudioOutput> output,
                                     const SoundDeviceFaults& faults, int max_voices)
    : output_(std::move(output)),
      faults_(faults),
      // Offline devices never queue a call; a real-time one may hold one per voice and more.
      mixer_(static_cast<int>(output_->Caps().max_secondary_rate), max_voices,
             std::min(max_voices, SoundMixer::kQueueCapacity)) {
  mixer_.SetRealtime(false);  // until a stream runs
}

MixingSoundDevice::~MixingSoundDevice() { output_->Close(); }

bool MixingSoundDevice::SetCooperativeLevel() { return !faults_.cooperative_level; }

AudioFormat MixingSoundDevice::DefaultFormat() const {
  const AudioCaps caps = output_->Caps();
  AudioFormat format;
  format.channels = caps.primary_stereo ? 2 : 1;
  format.bits_per_sample = caps.primary_16bit ? 16 : 8;
  format.rate = static_cast<int>(caps.max_secondary_rate);
  return format;
}

bool MixingSoundDevice::StartOutput(const AudioFormat& format) {
  mixer_.SetOutputRate(format.rate);
  const bool running = output_->Start(format, &mixer_);
  // Calls wait for stamped frames only while a real-time stream pulls them; with no stream
  // running they take effect directly, so neither the music's timer thread nor the main thread
  // ever waits on an output that does not come.
  mixer_.SetRealtime(running && output_->IsRealtime());
  return running;
}

bool MixingSoundDevice::CreatePrimaryBuffer() {
  if (faults_.primary_buffer) return false;
  primary_started_ = StartOutput(DefaultFormat());
  return primary_started_;
}

void MixingSoundDevice::ReleasePrimaryBuffer() {
  if (!primary_started_) return;
  output_->Stop();
  mixer_.SetRealtime(false);
  primary_started_ = false;
}

AudioCaps MixingSoundDevice::GetCaps() const { return output_->Caps(); }

bool MixingSoundDevice::SetPrimaryFormat(const WaveFormat& wave) {
  const bool valid = wave.format_tag == kWaveFormatPcm &&
                     (wave.channels == 1 || wave.channels == 2) &&
                     (wave.bits_per_sample == 8 || wave.bits_per_sample == 16) &&
                     wave.samples_per_sec >= 1 && wave.samples_per_sec <= kMaxFrequency;
  if (!primary_started_ || faults_.primary_format || !valid) return false;
  AudioFormat format{wave.channels, wave.bits_per_sample, static_cast<int>(wave.samples_per_sec)};
  if (StartOutput(format)) return true;
  primary_started_ = StartOutput(DefaultFormat());
  return false;
}

std::vector<AudioDeviceName> MixingSoundDevice::EnumerateDevices() const {
  return output_->EnumerateDevices();
}

SoundBuffer* MixingSoundDevice::CreateSoundBuffer(const SoundBufferDesc& desc) {
  if (faults_.create_buffer || !IsAcceptableBufferDesc(desc)) return nullptr;
  const WaveFormat& f = desc.format;
  // A new buffer is silent: mid-scale for unsigned 8-bit samples, zero for 16-bit ones.
  std::vector<uint8_t> content(desc.length_bytes, f.bits_per_sample == 8 ? 0x80 : 0x00);
  VoiceSamples samples =
      ConvertPcm(content.data(), desc.length_bytes, f.channels, f.bits_per_sample);
  const VoiceId voice = mixer_.AddVoice(std::move(samples), f.samples_per_sec, desc.group);
  if (voice.slot < 0) return nullptr;
  live_buffers_.fetch_add(1, std::memory_order_relaxed);
  return new MixedSoundBuffer(this, voice, f, std::move(content));
}

void MixingSoundDevice::BeginSeek() {
  // The output holds still while the voices move, and every call waiting takes effect now; the
  // mixer works offline meanwhile, so that the voices move at once.
  mixer_.SetPaused(true);
  realtime_before_seek_ = mixer_.realtime();
  mixer_.SetRealtime(false);
  mixer_.ResetAllVoices();
}

void MixingSoundDevice::EndSeek(bool resume) {
  mixer_.SetRealtime(realtime_before_seek_);
  if (resume) mixer_.SetPaused(false);
}

bool MixingSoundDevice::SetMixerSamples(SoundBuffer* buffer, VoiceSamples samples) {
  // Every buffer this device hands out is one of its own.
  return buffer && static_cast<MixedSoundBuffer*>(buffer)->TakeSamples(std::move(samples));
}

bool MixingSoundDevice::ShareSamples(SoundBuffer* buffer, SoundBuffer* source) {
  if (!buffer) return false;
  // Every buffer this device hands out is one of its own.
  const VoiceId from = source ? static_cast<MixedSoundBuffer*>(source)->voice() : VoiceId{};
  return mixer_.ShareSamples(static_cast<MixedSoundBuffer*>(buffer)->voice(), from);
}

int MixingSoundDevice::LiveBufferCount() const {
  return live_buffers_.load(std::memory_order_relaxed);
}

}  // namespace platform
