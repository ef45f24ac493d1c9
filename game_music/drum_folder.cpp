#include "game_music/drum_folder.h"

#include <strings.h>

#include <algorithm>
#include <filesystem>

#include "runtime/platform/file_reader.h"
#include "runtime/platform/native_file.h"

namespace org {
namespace {

namespace fs = std::filesystem;

std::string DrumFileNameOf(int drum) {
  const char* name = DrumName(drum);
  return name ? std::string(name) + ".wav" : std::string();
}

// Larger files are not drums.
bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
  platform::FileContents contents = platform::ReadFileUpTo(path, kMaxDrumFileBytes);
  if (!contents.ok() || contents.cut_short) return false;
  *bytes = std::move(contents.bytes);
  return true;
}

}  // namespace

std::string DrumFolderFor(const std::string& song_path, const std::string& drums_folder) {
  if (!drums_folder.empty()) return drums_folder;
  const fs::path folder = platform::NativePath(song_path).parent_path();
  return platform::Utf8PathOf(folder.empty() ? fs::path("Org") : folder / "Org");
}

std::string FindDrumFile(const std::string& folder, int drum) {
  const std::string name = DrumFileNameOf(drum);
  if (name.empty()) return {};
  std::error_code error;
  const fs::path exact = platform::NativePath(folder) / name;
  if (fs::is_regular_file(exact, error)) return platform::Utf8PathOf(exact);
  // A game folder made on a system that ignores case may spell the names otherwise.
  for (fs::directory_iterator it(platform::NativePath(folder), error), end; !error && it != end;
       it.increment(error))
    if (strcasecmp(platform::Utf8PathOf(it->path().filename()).c_str(), name.c_str()) == 0 &&
        fs::is_regular_file(it->path(), error))
      return platform::Utf8PathOf(it->path());
  return {};
}

bool HasAnyDrumOf(const ParsedSong& song, const std::string& folder) {
  for (int slot = 0; slot < kDrumSlots; ++slot) {
    const ParsedSong::Track& track = song.tracks[kMelodyTracks + slot];
    if (!track.events.empty() && !FindDrumFile(folder, track.wave).empty()) return true;
  }
  return false;
}

std::vector<std::string> DrumFilesOf(const ParsedSong& song, const std::string& folder,
                                     bool used_only) {
  std::vector<std::string> files;
  for (int slot = 0; slot < kDrumSlots; ++slot) {
    const ParsedSong::Track& track = song.tracks[kMelodyTracks + slot];
    if (used_only && track.events.empty()) continue;
    const std::string name = DrumFileNameOf(track.wave);
    if (name.empty()) continue;
    std::string path = FindDrumFile(folder, track.wave);
    if (path.empty()) path = (fs::path(folder) / name).string();
    if (std::find(files.begin(), files.end(), path) == files.end()) files.push_back(path);
  }
  return files;
}

DrumProvider FolderDrums(const std::string& folder, std::vector<std::string>* missing) {
  return [folder, missing](int, int drum, std::vector<uint8_t>* bytes) {
    const std::string path = FindDrumFile(folder, drum);
    if (!path.empty() && ReadFile(path, bytes)) return true;
    const std::string expected = (fs::path(folder) / DrumFileNameOf(drum)).string();
    if (missing && std::find(missing->begin(), missing->end(), expected) == missing->end())
      missing->push_back(expected);
    return false;
  };
}

}  // namespace org
