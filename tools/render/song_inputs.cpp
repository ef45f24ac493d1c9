#include "tools/render/song_inputs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "game_music/drum_folder.h"
#include "runtime/platform/native_file.h"

namespace render {
namespace {
constexpr uintmax_t kWaveBankBytes = 25600;
}  // namespace

bool UseShippedDrums(const char* tool, const org::ParsedSong& song, const std::string& song_path,
                     const std::string& drums_folder) {
  if (!drums_folder.empty()) return false;
  const std::vector<std::string> used =
      org::DrumFilesOf(song, org::DrumFolderFor(song_path, ""), true);
  if (used.empty()) return false;
  std::error_code error;
  for (const std::string& path : used)
    if (std::filesystem::is_regular_file(platform::NativePath(path), error)) return false;
  std::fprintf(stderr, "%s: no drums beside the song; using the shipped drums\n", tool);
  return true;
}

void WarnAboutWaveBank(const char* tool, const std::string& bank_path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(platform::NativePath(bank_path), error);
  if (!error && size != kWaveBankBytes)
    std::fprintf(stderr,
                 "%s: warning: the waveform bank %s is %ju bytes, not %ju: it is read as far as "
                 "it goes\n",
                 tool, bank_path.c_str(), size, kWaveBankBytes);
}

bool ReadSongFile(const std::string& path, org::ParsedSong* song, std::string* why) {
  std::error_code error;
  std::ifstream in(platform::NativePath(path), std::ios::binary);
  if (!std::filesystem::is_regular_file(platform::NativePath(path), error) || !in) {
    *why = WhySongUnreadable(path);
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  if (in.bad()) {
    *why = WhySongUnreadable(path);
    return false;
  }
  const org::ParseResult parse = org::ParseOrgSong(bytes.data(), bytes.size(), song);
  if (parse != org::ParseResult::kOk) {
    *why = parse == org::ParseResult::kNotOrg ? "not an Org song" : "a damaged Org song";
    return false;
  }
  return true;
}

std::string WhySongUnreadable(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(platform::NativePath(path), error)) return "is a folder";
  std::ifstream probe(platform::NativePath(path), std::ios::binary);
  const int reason = probe ? EIO : errno;
  return std::string("cannot read the file (") + std::strerror(reason) + ")";
}

}  // namespace render
