#include "game_music/org_song.h"

#include <utility>
#include <vector>

#include "game_music/drum_voice.h"
#include "game_music/game_engine.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/file_reader.h"
#include "runtime/platform/notice.h"
#include "runtime/platform/text_encoding.h"

namespace org {
namespace {

constexpr const char* kLoadCaption = "Error (Load)";

}  // namespace

const ParsedSong& GetOrgSong() { return GameEngine().song(); }

void InitSong() { GameEngine().SetEmptySong(DefaultSong()); }

void FreeSongNotes() { GameEngine().SetEmptySong(GameEngine().song()); }

std::string DrumPathForSong(const std::string& song_path, int wave) {
  const char* file = DrumFileName(wave);
  if (!file) return {};
  // The folder ends at the last backslash that is not the second byte of a CP932 character.
  size_t folder_end = 0;
  for (size_t i = 0; i < song_path.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(song_path[i]);
    if (platform::IsCp932LeadByte(byte)) {
      ++i;
    } else if (byte == '\\') {
      folder_end = i + 1;
    }
  }
  return song_path.substr(0, folder_end) + file;
}

bool ReadUserSongFile(const std::string& file, std::vector<uint8_t>* bytes, std::string* why) {
  platform::FileContents contents = platform::ReadFileUpTo(file, kMaxOrgFileBytes);
  if (!contents.ok()) {
    *why = contents.why;
    return false;
  }
  *bytes = std::move(contents.bytes);
  return true;
}

bool LoadUserSong(Engine& engine, const std::vector<uint8_t>& bytes, const DrumProvider& drums,
                  std::string* why) {
  const LoadReport report = engine.Load(bytes.data(), bytes.size(), drums);
  if (report.status == LoadStatus::kOk) return true;
  *why = report.status == LoadStatus::kNotOrg ? "not an Org song" : "a damaged Org song";
  return false;
}

bool LoadOrgSong(const char* path) { return LoadOrgSong(GameEngine(), path); }

bool LoadOrgSong(Engine& engine, const char* path) {
  std::vector<uint8_t> bytes;
  if (!path || !platform::ReadDataFile(path, kMaxOrgFileBytes, &bytes)) {
    platform::ShowNotice(SJIS("ファイルにアクセスできません"), kLoadCaption);
    return false;
  }
  // Parsed in full before anything changes: a damaged file leaves the loaded song playable.
  if (!HasOrgMagic(bytes.data(), bytes.size())) {
    platform::ShowNotice(SJIS("このファイルは使えません"), kLoadCaption);
    return false;
  }
  const std::string song_path = path;
  const LoadReport report = engine.Load(
      bytes.data(), bytes.size(), [&song_path](int, int drum, std::vector<uint8_t>* file) {
        return ReadDrumFile(DrumPathForSong(song_path, drum), file);
      });
  if (report.status != LoadStatus::kOk) {
    platform::ShowNotice(SJIS("このファイルは使えません"), kLoadCaption);
    return false;
  }
  for (const LoadReport::Drum& drum : report.drums) ReportDrumLoad(drum.result, drum.provided);
  return true;
}

}  // namespace org
