#include "runtime/platform/offline_audio_output.h"

#include <algorithm>

namespace platform {

OfflineAudioOutput::OfflineAudioOutput(const OfflineOutputOptions& options) : options_(options) {}

bool OfflineAudioOutput::Open() { return options_.device_present; }

bool OfflineAudioOutput::Start(const AudioFormat& format, AudioRenderSource* source) {
  if (options_.refuse_format) {
    source_ = nullptr;
    return false;
  }
  format_ = format;
  source_ = source;
  return true;
}

void OfflineAudioOutput::Stop() { source_ = nullptr; }

void OfflineAudioOutput::Close() { Stop(); }

std::vector<AudioDeviceName> OfflineAudioOutput::EnumerateDevices() const {
  return {{"offline", "Offline renderer"}};
}

void OfflineAudioOutput::Render(int16_t* stereo, int frames) {
  if (source_) {
    source_->RenderFrames(stereo, frames, nullptr);
  } else {
    std::fill(stereo, stereo + 2 * frames, int16_t{0});
  }
}

}  // namespace platform
