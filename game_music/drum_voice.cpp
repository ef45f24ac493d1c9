#include "game_music/drum_voice.h"

#include <cstdio>

#include "game_music/game_engine.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/notice.h"
#include "runtime/platform/text_encoding.h"

namespace org {
namespace {

constexpr const char* kLoadCaption = "Error (Load)";

DrumSlotSet& Slots() { return GameEngine().drums(); }

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

void ReleaseDrumVoice(int slot) { Slots().Release(slot); }

void PlayDrum(int slot, uint8_t key) { Slots().Play(slot, key); }

void SetDrumPan(int slot, uint8_t pan) { Slots().SetPan(slot, pan); }

void SetDrumVolume(int slot, int volume) { Slots().SetVolume(slot, volume); }

void WriteOrgErrorLog(const char* message) {
  platform::FileHandle file = platform::OpenDataFile("ORG_ERROR.TXT", "ab");
  if (!file) return;
  std::fprintf(file.get(), "%s\n", message);
}

void ResetDrumVoices() { Slots().ReleaseAll(); }

}  // namespace org
