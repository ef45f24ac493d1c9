// The program's icon, drawn by our own generator at every size the desktop's hicolor theme asks
// for: an eighth note over three stepped chiptune bars on an indigo rounded square. The PNG
// files are committed under packaging/icons and reproduced byte for byte by a test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assets {

inline constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// The icon at `size` × `size` pixels, 0xAARRGGBB, anti-aliased.
std::vector<uint32_t> DrawAppIcon(int size);

struct IconFile {
  std::string relative_path;  // hicolor/NxN/apps/orvalinde-jukebox.png
  std::vector<uint8_t> bytes;
};
std::vector<IconFile> MakeAppIcons();

}  // namespace assets
