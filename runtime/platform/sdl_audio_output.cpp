#include "runtime/platform/sdl_audio_output.h"

#include <algorithm>
#include <cstring>

#include "runtime/platform/platform_clock.h"

namespace platform {

SdlAudioOutput::SdlAudioOutput(int block_frames) : block_frames_(block_frames) {}

SdlAudioOutput::~SdlAudioOutput() { Close(); }

int SdlAudioOutput::BlockFrames(int rate) const {
  return block_frames_ > 0 ? block_frames_ : (rate > 48000 ? 4096 : 2048);
}

bool SdlAudioOutput::Open() {
  if (subsystem_started_) return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  subsystem_started_ = true;
  // Ask for CD quality and let the device say what it really does; that is its format.
  SDL_AudioSpec wanted{};
  wanted.freq = kDefaultOutputRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 2;
  wanted.samples = static_cast<Uint16>(BlockFrames(wanted.freq));
  SDL_AudioSpec got{};
  SDL_AudioDeviceID probe =
      SDL_OpenAudioDevice(nullptr, 0, &wanted, &got, SDL_AUDIO_ALLOW_ANY_CHANGE);
  if (probe == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_started_ = false;
    return false;
  }
  SDL_CloseAudioDevice(probe);
  caps_ = AudioCaps{};
  caps_.primary_stereo = got.channels >= 2;
  caps_.primary_16bit = SDL_AUDIO_BITSIZE(got.format) >= 16;
  caps_.max_secondary_rate = static_cast<uint32_t>(got.freq);
  return true;
}

bool SdlAudioOutput::Start(const AudioFormat& format, AudioRenderSource* source) {
  Stop();
  SDL_AudioSpec wanted{};
  wanted.freq = format.rate;
  wanted.format = format.bits_per_sample == 16 ? AUDIO_S16SYS : AUDIO_U8;
  wanted.channels = static_cast<Uint8>(format.channels);
  wanted.samples = static_cast<Uint16>(BlockFrames(format.rate));
  wanted.callback = &SdlAudioOutput::Callback;
  wanted.userdata = this;
  // Everything the callback reads is set before the device (and its thread) exists.
  format_ = format;
  source_ = source;
  scratch_.assign(2 * static_cast<size_t>(BlockFrames(format.rate)), 0);
  clock_.Reset();
  streaming_.store(false, std::memory_order_release);
  SDL_AudioSpec got{};
  // No changes allowed: SDL converts to whatever the hardware wants behind this stream.
  SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &got, 0);
  if (device == 0) {
    source_ = nullptr;
    return false;
  }
  device_ = device;
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

void SdlAudioOutput::Stop() {
  if (device_ == 0) return;
  // Closing waits for a running callback to return.
  SDL_CloseAudioDevice(device_);
  device_ = 0;
  source_ = nullptr;
}

void SdlAudioOutput::Close() {
  Stop();
  if (subsystem_started_) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_started_ = false;
  }
}

std::vector<AudioDeviceName> SdlAudioOutput::EnumerateDevices() const {
  std::vector<AudioDeviceName> names;
  const char* driver = SDL_GetCurrentAudioDriver();
  const int count = SDL_GetNumAudioDevices(0);
  for (int i = 0; i < count; ++i) {
    const char* name = SDL_GetAudioDeviceName(i, 0);
    names.push_back({driver ? driver : "", name ? name : ""});
  }
  return names;
}

void SDLCALL SdlAudioOutput::Callback(void* self, Uint8* stream, int length) {
  static_cast<SdlAudioOutput*>(self)->Fill(stream, length);
}

void SdlAudioOutput::Fill(Uint8* stream, int length) {
  callbacks_.fetch_add(1, std::memory_order_relaxed);
  const int bytes_per_frame = format_.channels * format_.bits_per_sample / 8;
  const int frames = length / bytes_per_frame;
  const int capacity = static_cast<int>(scratch_.size() / 2);
  const BlockTiming whole = clock_.OnBlock(ClockUs(), frames, format_.rate);
  underruns_.store(clock_.underruns(), std::memory_order_relaxed);
  streaming_.store(clock_.settled(), std::memory_order_release);
  for (int done = 0; done < frames;) {
    const int count = std::min(capacity, frames - done);
    const int64_t span = whole.end_us - whole.start_us;
    const BlockTiming part{whole.start_us + span * done / frames,
                           whole.start_us + span * (done + count) / frames};
    source_->RenderFrames(scratch_.data(), count, &part);
    Uint8* out = stream + static_cast<size_t>(done) * bytes_per_frame;
    for (int i = 0; i < count; ++i) {
      const int16_t left = scratch_[2 * i];
      const int16_t right = scratch_[2 * i + 1];
      if (format_.channels == 2 && format_.bits_per_sample == 16) {
        std::memcpy(out + 4 * i, &scratch_[2 * i], 4);
      } else if (format_.channels == 2) {
        out[2 * i] = static_cast<Uint8>((left >> 8) + 128);
        out[2 * i + 1] = static_cast<Uint8>((right >> 8) + 128);
      } else {
        const int16_t mono = static_cast<int16_t>((left + right) / 2);
        if (format_.bits_per_sample == 16) {
          std::memcpy(out + 2 * i, &mono, 2);
        } else {
          out[i] = static_cast<Uint8>((mono >> 8) + 128);
        }
      }
    }
    done += count;
  }
}

}  // namespace platform
