#include "tools/render/song_inputs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "game_music/drum_folder.h"
#include "runtime/platform/file_reader.h"
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

bool ReadSongBytes(const std::string& path, std::vector<uint8_t>* bytes, std::string* why) {
  platform::FileContents contents = platform::ReadFileUpTo(path, org::kMaxOrgFileBytes);
  if (!contents.ok()) {
    *why = contents.error
               ? std::string("cannot read the file (") + std::strerror(contents.error) + ")"
               : contents.why;
    return false;
  }
  *bytes = std::move(contents.bytes);
  return true;
}

bool ReadSongFile(const std::string& path, org::ParsedSong* song, std::string* why) {
  std::vector<uint8_t> bytes;
  if (!ReadSongBytes(path, &bytes, why)) return false;
  const org::ParseResult parse = org::ParseOrgSong(bytes.data(), bytes.size(), song);
  if (parse != org::ParseResult::kOk) {
    *why = org::WhyUnplayable(parse, *song);
    return false;
  }
  return true;
}

}  // namespace render
