// Writes the demo data folder's generated files: the waveform bank, the drum kit, the demo songs
// compiled from their scores and the playlist; with a third folder, also the program's icons
// (packaging/icons).
// Usage: make_assets SCORES_FOLDER DATA_FOLDER [ICONS_FOLDER]
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tools/assets/app_icon.h"
#include "tools/assets/demo_data.h"

namespace {

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (out) return true;
  std::fprintf(stderr, "make_assets: cannot write %s\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: make_assets SCORES_FOLDER DATA_FOLDER [ICONS_FOLDER]\n");
    return 2;
  }
  std::vector<assets::GeneratedFile> files;
  std::string error;
  if (!assets::MakeDemoData(argv[1], &files, &error)) {
    std::fprintf(stderr, "make_assets: %s\n", error.c_str());
    return 1;
  }
  for (const assets::GeneratedFile& file : files)
    if (!WriteFile(std::filesystem::path(argv[2]) / file.relative_path, file.bytes)) return 1;
  std::printf("make_assets: wrote %zu files under %s\n", files.size(), argv[2]);
  if (argc == 4) {
    const std::vector<assets::IconFile> icons = assets::MakeAppIcons();
    for (const assets::IconFile& icon : icons)
      if (!WriteFile(std::filesystem::path(argv[3]) / icon.relative_path, icon.bytes)) return 1;
    std::printf("make_assets: wrote %zu icons under %s\n", icons.size(), argv[3]);
  }
  return 0;
}
