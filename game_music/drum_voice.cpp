#include "game_music/drum_voice.h"

#include <cstdio>

#include "game_music/game_engine.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/notice.h"
#include "runtime/platform/text_encoding.h"

namespace org {
namespace {

// Larger drum files are read only this far; the buffer then holds what was read.
constexpr size_t kMaxDrumFileBytes = 64u << 20;
constexpr const char* kLoadCaption = "Error (Load)";

std::string g_folder_override;

DrumSlotSet& Slots() { return JukeboxEngine().drums(); }

bool HasDevice() { return JukeboxEngine().device() != nullptr; }

}  // namespace

bool ReadDrumFile(const std::string& path, std::vector<uint8_t>* bytes) {
  if (platform::ReadDataFile(path, kMaxDrumFileBytes, bytes)) return true;
  platform::ShowNotice(SJIS("ファイルハンドル取得失敗"), kLoadCaption);
  platform::ShowNotice(path, kLoadCaption);
  return false;
}

void ReportDrumLoad(DrumLoadResult result, bool read) {
  if (!read) return;
  if (result == DrumLoadResult::kCreateFailed)
    WriteOrgErrorLog(SJIS("CreateSoundBufferに失敗した。"));
  if (result == DrumLoadResult::kLockFailed)
    WriteOrgErrorLog(SJIS("SoundBufferのLockに失敗した。"));
}

bool LoadDrumVoice(const std::string& path, int slot) {
  if (!HasDevice() || slot < 0 || slot >= kDrumSlots) return false;
  Slots().Release(slot);
  if (path.empty()) return false;  // a drum number outside the table: no drum on this track
  std::vector<uint8_t> file;
  if (!ReadDrumFile(path, &file)) return false;
  return LoadDrumVoiceBytes(file.data(), file.size(), slot);
}

bool LoadDrumVoiceBytes(const uint8_t* file, size_t size, int slot) {
  if (!HasDevice() || slot < 0 || slot >= kDrumSlots) return false;
  const DrumLoadResult result = Slots().Load(file, size, slot);
  ReportDrumLoad(result, true);
  return result == DrumLoadResult::kLoaded;
}

void ReleaseDrumVoice(int slot) { Slots().Release(slot); }

void PlayDrum(int slot, uint8_t key) { Slots().Play(slot, key); }

void SetDrumPan(int slot, uint8_t pan) { Slots().SetPan(slot, pan); }

void SetDrumVolume(int slot, int volume) { Slots().SetVolume(slot, volume); }

void WriteOrgErrorLog(const char* message) {
  platform::FileHandle file = platform::OpenDataFile("ORG_ERROR.TXT", "ab");
  if (!file) return;
  std::fprintf(file.get(), "%s\n", message);
}

void SetDrumFolderOverride(const std::string& folder) { g_folder_override = folder; }

const std::string& DrumFolderOverride() { return g_folder_override; }

bool HasDrumVoice(int slot) { return Slots().has_voice(slot); }

void ResetDrumVoices() {
  Slots().ReleaseAll();
  g_folder_override.clear();
}

}  // namespace org
