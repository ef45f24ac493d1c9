#include "org/drum_voice.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "org/engine_device.h"
#include "runtime/core/byte_reader.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/notice.h"
#include "runtime/platform/text_encoding.h"

namespace org {
namespace {

constexpr const char* kDrumFiles[kDrumSampleCount] = {
    "Org\\Bass01.wav",    "Org\\Bass02.wav",   "Org\\Snare01.wav",   "Org\\Snare02.wav",
    "Org\\Tom01.wav",     "Org\\HiClose.wav",  "Org\\HiOpen.wav",    "Org\\Crash.wav",
    "Org\\Per01.wav",     "Org\\Per02.wav",    "Org\\Bass03.wav",    "Org\\Tom02.wav",
    "Org\\Bass04.wav",    "Org\\Bass05.wav",   "Org\\Snare03.wav",   "Org\\Snare04.wav",
    "Org\\HiClose02.wav", "Org\\HiOpen02.wav", "Org\\HiClose03.wav", "Org\\HiOpen03.wav",
    "Org\\Crash02.wav",   "Org\\RevSym01.wav", "Org\\Ride01.wav",    "Org\\Tom03.wav",
    "Org\\Tom04.wav",     "Org\\OrcDrm01.wav", "Org\\Bell.wav",      "Org\\Cat.wav",
};

constexpr size_t kFormatOffset = 20;
constexpr size_t kLengthOffset = 54;
constexpr size_t kDataOffset = 58;
// Larger drum files are read only this far; the buffer then holds what was read.
constexpr size_t kMaxDrumFileBytes = 64u << 20;
constexpr const char* kLoadCaption = "Error (Load)";

platform::SoundBuffer* g_slots[kDrumSlots];
std::string g_folder_override;

bool ValidSlot(int slot) { return slot >= 0 && slot < kDrumSlots; }

platform::WaveFormat ReadFormat(runtime::ByteReader& reader) {
  platform::WaveFormat format;
  format.format_tag = reader.U16();
  format.channels = reader.U16();
  format.samples_per_sec = reader.U32();
  format.avg_bytes_per_sec = reader.U32();
  format.block_align = reader.U16();
  format.bits_per_sample = reader.U16();
  format.extra_size = reader.U16();
  return format;
}

}  // namespace

const char* DrumFileName(int wave) {
  return wave >= 0 && wave < kDrumSampleCount ? kDrumFiles[wave] : nullptr;
}

bool LoadDrumVoice(const std::string& path, int slot) {
  if (!EngineSoundDevice() || !ValidSlot(slot)) return false;
  ReleaseDrumVoice(slot);
  if (path.empty()) return false;  // a drum number outside the table: no drum on this track
  std::vector<uint8_t> file;
  if (!platform::ReadDataFile(path, kMaxDrumFileBytes, &file)) {
    platform::ShowNotice(SJIS("ファイルハンドル取得失敗"), kLoadCaption);
    platform::ShowNotice(path, kLoadCaption);
    return false;
  }
  return LoadDrumVoiceBytes(file.data(), file.size(), slot);
}

bool LoadDrumVoiceBytes(const uint8_t* file, size_t size, int slot) {
  if (!EngineSoundDevice() || !ValidSlot(slot)) return false;
  ReleaseDrumVoice(slot);
  if (size < kDataOffset || std::memcmp(file, "RIFF", 4) != 0) return false;
  runtime::ByteReader reader(file, size);
  reader.Seek(kFormatOffset);
  platform::SoundBufferDesc desc;
  desc.flags = kEngineBufferFlags;
  desc.format = ReadFormat(reader);
  reader.Seek(kLengthOffset);
  const uint32_t declared = reader.U32();
  // A file that ends before its declared data gives a buffer of what it holds: the missing tail
  // would only have been silence, and nothing is read past the file.
  desc.length_bytes = static_cast<uint32_t>(std::min<uint64_t>(declared, size - kDataOffset));
  platform::SoundBuffer* buffer = EngineSoundDevice()->CreateSoundBuffer(desc);
  if (!buffer) {
    WriteOrgErrorLog(SJIS("CreateSoundBufferに失敗した。"));
    return false;
  }
  g_slots[slot] = buffer;
  void* region1 = nullptr;
  void* region2 = nullptr;
  uint32_t bytes1 = 0;
  uint32_t bytes2 = 0;
  if (!buffer->Lock(0, desc.length_bytes, &region1, &bytes1, &region2, &bytes2)) {
    WriteOrgErrorLog(SJIS("SoundBufferのLockに失敗した。"));
    return false;
  }
  const uint8_t* data = file + kDataOffset;
  std::memcpy(region1, data, bytes1);
  if (region2) std::memcpy(region2, data + bytes1, bytes2);
  buffer->Unlock(region1, bytes1, region2, bytes2);
  buffer->SetCurrentPosition(0);
  return true;
}

void ReleaseDrumVoice(int slot) {
  if (!ValidSlot(slot) || !g_slots[slot]) return;
  g_slots[slot]->Release();
  g_slots[slot] = nullptr;
}

void PlayDrum(int slot, uint8_t key) {
  if (!EngineSoundDevice() || !ValidSlot(slot) || !g_slots[slot]) return;
  platform::SoundBuffer* buffer = g_slots[slot];
  buffer->Stop();
  buffer->SetCurrentPosition(0);
  buffer->SetFrequency(key * 800u + 100u);
  buffer->Play(0);
}

void SetDrumPan(int slot, uint8_t pan) {
  int32_t device_pan = 0;
  if (!EngineSoundDevice() || !ValidSlot(slot) || !g_slots[slot]) return;
  if (OrgPanToDevice(pan, &device_pan)) g_slots[slot]->SetPan(device_pan);
}

void SetDrumVolume(int slot, int volume) {
  if (!EngineSoundDevice() || !ValidSlot(slot) || !g_slots[slot]) return;
  g_slots[slot]->SetVolume(OrgVolumeToDevice(volume));
}

void WriteOrgErrorLog(const char* message) {
  platform::FileHandle file = platform::OpenDataFile("ORG_ERROR.TXT", "ab");
  if (!file) return;
  std::fprintf(file.get(), "%s\n", message);
}

void SetDrumFolderOverride(const std::string& folder) { g_folder_override = folder; }

const std::string& DrumFolderOverride() { return g_folder_override; }

bool HasDrumVoice(int slot) { return ValidSlot(slot) && g_slots[slot] != nullptr; }

void ResetDrumVoices() {
  for (int slot = 0; slot < kDrumSlots; ++slot) ReleaseDrumVoice(slot);
  g_folder_override.clear();
}

}  // namespace org
