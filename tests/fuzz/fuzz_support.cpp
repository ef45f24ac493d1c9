#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "game_music/game_engine.h"
#include "runtime/platform/mixing_sound_device.h"
#include "runtime/platform/offline_audio_output.h"
#include "test_support/scratch_directory.h"

namespace fuzz {

namespace {

test_support::ScratchDirectory& Folder() {
  static test_support::ScratchDirectory folder;
  static test_support::CurrentDirectoryScope here(folder.path());
  return folder;
}

}  // namespace

const std::string& ScratchFolder() { return Folder().path(); }

void WriteScratchFile(const std::string& relative, const uint8_t* data, size_t size) {
  Folder().WriteFile(relative, std::string(reinterpret_cast<const char*>(data), size));
}

void RemoveScratchFile(const std::string& relative) {
  std::error_code ignored;
  std::filesystem::remove(ScratchFolder() + "/" + relative, ignored);
}

OfflineEngine::OfflineEngine() {
  auto output = std::make_unique<platform::OfflineAudioOutput>();
  output_ = output.get();
  device_ = platform::MixingSoundDevice::Create(std::move(output));
  device_->CreatePrimaryBuffer();
  device_->SetPrimaryFormat({platform::kWaveFormatPcm, 2, 44100, 44100 * 4, 4, 16, 0});
  org::SetEngineSoundDevice(device_.get());
}

OfflineEngine::~OfflineEngine() { org::SetEngineSoundDevice(nullptr); }

void OfflineEngine::Render(int frames) {
  int16_t block[2 * 512];
  while (frames > 0) {
    const int now = frames < 512 ? frames : 512;
    output_->Render(block, now);
    frames -= now;
  }
}

void CheckPicture(const graphics::GraphImage& picture) {
  if (picture.width <= 0 || picture.height <= 0 || picture.width > graphics::kMaxPictureSide ||
      picture.height > graphics::kMaxPictureSide)
    Fail("decoded picture has a size outside 1..16384");
  const size_t row_bytes = static_cast<size_t>(picture.width) * picture.layout.bytes_per_pixel;
  if (picture.pitch < 0 || static_cast<size_t>(picture.pitch) < row_bytes)
    Fail("decoded picture's pitch is shorter than a row");
  if (picture.pixels.size() < static_cast<size_t>(picture.pitch) * picture.height)
    Fail("decoded picture's store is shorter than its rows");
  // Every row's first and last pixel, and a diagonal: enough to catch a short or shifted store
  // without making large pictures slow.
  uint32_t sink = 0;
  for (int y = 0; y < picture.height; ++y) {
    sink ^= graphics::ImageArgb(picture, 0, y) ^ graphics::ImageArgb(picture, picture.width - 1, y);
    sink ^= graphics::ImageArgb(picture,
                                static_cast<int>(int64_t{y} * picture.width / picture.height), y);
  }
  Consume(sink);
}

void Consume(uint32_t value) {
  static volatile uint32_t kept;
  kept = kept + value;
}

void Fail(const char* what) {
  std::fprintf(stderr, "fuzz finding: %s\n", what);
  std::abort();
}

}  // namespace fuzz
