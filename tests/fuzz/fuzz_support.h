// Shared pieces of the fuzz targets: a scratch working folder for readers that take files, an
// engine sound device on the offline output so that loaded sounds are also mixed, and checks that
// a decoded picture is whole. Each target calls these from LLVMFuzzerTestOneInput; the same
// targets run over their committed inputs in the ordinary test build (fuzz_replay_main.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "runtime/graphics/graph_image.h"

namespace platform {
class MixingSoundDevice;
class OfflineAudioOutput;
}  // namespace platform

namespace fuzz {

// A fresh folder, made the working directory on first use, removed when the process ends.
const std::string& ScratchFolder();
// Writes bytes to a file under the scratch folder (relative, '/'-separated).
void WriteScratchFile(const std::string& relative, const uint8_t* data, size_t size);
// Removes a file under the scratch folder, if present.
void RemoveScratchFile(const std::string& relative);

// A 44.1 kHz stereo sound device with the offline output, installed as the engine's device.
class OfflineEngine {
 public:
  OfflineEngine();
  ~OfflineEngine();
  // Mixes `frames` frames (44.1 kHz) of whatever plays, and throws them away.
  void Render(int frames);

 private:
  std::unique_ptr<platform::MixingSoundDevice> device_;
  platform::OfflineAudioOutput* output_ = nullptr;
};

// Aborts (a finding) unless the picture's size, pitch and pixel store agree; then reads pixels
// across the whole picture, so that a short store shows up under AddressSanitizer.
void CheckPicture(const graphics::GraphImage& picture);

// Keeps a value the compiler would otherwise drop with the reads that made it.
void Consume(uint32_t value);

// Aborts with a message: a broken invariant is a finding like a crash.
[[noreturn]] void Fail(const char* what);

}  // namespace fuzz
