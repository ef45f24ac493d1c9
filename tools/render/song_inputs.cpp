#include "tools/render/song_inputs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "runtime/platform/data_path.h"
#include "runtime/platform/shipped_data.h"
#include "tools/render/offline_render.h"

namespace render {
namespace {
constexpr uintmax_t kWaveBankBytes = 25600;
}  // namespace

void ChooseDrumFolder(const char* tool, const org::ParsedSong& song, const std::string& song_path,
                      std::string* drums_folder) {
  if (!drums_folder->empty()) return;
  const std::vector<std::string> used = UsedDrumFiles(song, song_path, "");
  if (used.empty()) return;
  for (const std::string& path : used)
    if (platform::DataFileExists(path)) return;
  const std::string shipped = platform::ShippedDataFolder() + "/Org/Org";
  if (!std::filesystem::is_directory(shipped)) return;
  std::fprintf(stderr, "%s: no drums beside the song; using the shipped drums in %s\n", tool,
               shipped.c_str());
  *drums_folder = platform::NativePathToDataPath(shipped);
}

void WarnAboutWaveBank(const char* tool, const std::string& bank_path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(bank_path, error);
  if (!error && size != kWaveBankBytes)
    std::fprintf(stderr,
                 "%s: warning: the waveform bank %s is %ju bytes, not %ju: it is read as far as "
                 "it goes\n",
                 tool, bank_path.c_str(), size, kWaveBankBytes);
}

std::string WhySongUnreadable(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return "is a folder";
  std::ifstream probe(path, std::ios::binary);
  const int reason = probe ? EIO : errno;
  return std::string("cannot read the file (") + std::strerror(reason) + ")";
}

}  // namespace render
