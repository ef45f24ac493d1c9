#include "test_support/recording_sound_device.h"

#include "runtime/platform/mixing_sound_device.h"

namespace test_support {

class RecordingBuffer final : public platform::SoundBuffer {
 public:
  RecordingBuffer(RecordingSoundDevice* device, int index) : device_(device), index_(index) {}
  ~RecordingBuffer() override = default;

  bool Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2,
            uint32_t* bytes2) override {
    Record("lock", bytes);
    RecordedBuffer& b = buffer();
    if (device_->fail_lock || offset + bytes > b.content.size()) return false;
    *region1 = b.content.data() + offset;
    *bytes1 = bytes;
    if (region2) *region2 = nullptr;
    if (bytes2) *bytes2 = 0;
    return true;
  }
  bool Unlock(void*, uint32_t bytes1, void*, uint32_t) override {
    Record("unlock", bytes1);
    return true;
  }
  bool SetCurrentPosition(uint32_t offset) override {
    Record("position", offset);
    return true;
  }
  bool Play(uint32_t flags) override {
    Record("play", flags & platform::kPlayLooping ? 1 : 0);
    buffer().playing = true;
    buffer().looping = (flags & platform::kPlayLooping) != 0;
    return true;
  }
  bool Stop() override {
    Record("stop", 0);
    buffer().playing = false;
    return true;
  }
  bool SetFrequency(uint32_t rate) override {
    Record("frequency", rate);
    if (rate < platform::kMinFrequency || rate > platform::kMaxFrequency) return false;
    buffer().frequency = rate;
    return true;
  }
  bool SetVolume(int32_t volume) override {
    Record("volume", volume);
    buffer().volume = volume;
    return true;
  }
  bool SetPan(int32_t pan) override {
    Record("pan", pan);
    buffer().pan = pan;
    return true;
  }
  bool GetStatus(bool* playing, bool* looping) override {
    if (playing) *playing = buffer().playing;
    if (looping) *looping = buffer().looping;
    return true;
  }
  bool GetCurrentPosition(uint32_t* offset) override {
    *offset = 0;
    return true;
  }
  void Release() override {
    Record("release", 0);
    buffer().released = true;
  }

 private:
  RecordedBuffer& buffer() { return device_->buffers[static_cast<size_t>(index_)]; }
  void Record(const char* what, int64_t value) { device_->calls_.push_back({index_, what, value}); }

  RecordingSoundDevice* device_;
  int index_;
};

RecordingSoundDevice::RecordingSoundDevice() = default;
RecordingSoundDevice::~RecordingSoundDevice() = default;

platform::SoundBuffer* RecordingSoundDevice::CreateSoundBuffer(
    const platform::SoundBufferDesc& desc) {
  if (creates_before_failure == 0 || !platform::IsAcceptableBufferDesc(desc)) return nullptr;
  if (creates_before_failure > 0) --creates_before_failure;
  const int index = static_cast<int>(buffers.size());
  RecordedBuffer recorded;
  recorded.desc = desc;
  recorded.content.assign(desc.length_bytes, 0x80);
  recorded.frequency = desc.format.samples_per_sec;
  buffers.push_back(std::move(recorded));
  calls_.push_back({index, "create", desc.length_bytes});
  owned_.push_back(std::make_unique<RecordingBuffer>(this, index));
  return owned_.back().get();
}

std::vector<SoundCall> RecordingSoundDevice::Calls(const std::string& what) const {
  std::vector<SoundCall> out;
  for (const SoundCall& call : calls_)
    if (what.empty() || call.what == what) out.push_back(call);
  return out;
}

int RecordingSoundDevice::LiveBuffers() const {
  int live = 0;
  for (const RecordedBuffer& b : buffers) live += b.released ? 0 : 1;
  return live;
}

}  // namespace test_support
