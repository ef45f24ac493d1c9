// Writes the demo data folder's generated files: the waveform bank, the drum kit, the demo songs
// compiled from their scores and the playlist.
// Usage: make_assets SCORES_FOLDER DATA_FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tools/assets/demo_data.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_assets SCORES_FOLDER DATA_FOLDER\n");
    return 2;
  }
  std::vector<assets::GeneratedFile> files;
  std::string error;
  if (!assets::MakeDemoData(argv[1], &files, &error)) {
    std::fprintf(stderr, "make_assets: %s\n", error.c_str());
    return 1;
  }
  for (const assets::GeneratedFile& file : files) {
    const std::filesystem::path path = std::filesystem::path(argv[2]) / file.relative_path;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.bytes.data()),
              static_cast<std::streamsize>(file.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "make_assets: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  std::printf("make_assets: wrote %zu files under %s\n", files.size(), argv[2]);
  return 0;
}
