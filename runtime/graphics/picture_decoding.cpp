#include "runtime/graphics/picture_decoding.h"

#include <vector>

#include "runtime/graphics/bgra_decoder.h"
#include "runtime/graphics/bmp_decoder.h"
#include "runtime/graphics/png_decoder.h"
#include "runtime/platform/data_path.h"

namespace graphics {
namespace {
// No picture file the decoders accept can be larger (16384 × 16384 × 8 bytes and headers).
constexpr size_t kMaxPictureFileBytes = size_t{1} << 31;
}  // namespace

int DecodePictureMemory(const uint8_t* data, size_t size, bool mirrored, GraphImage* picture) {
  const bool decoded = DecodeBmp(data, size, picture) || DecodePng(data, size, picture) ||
                       DecodeBgra(data, size, picture);
  if (!decoded) return -1;
  if (mirrored) MirrorImage(picture);
  return 0;
}

int DecodePictureSource(const std::string& file_name, bool mirrored, GraphImage* picture) {
  std::vector<uint8_t> bytes;
  if (!platform::ReadDataFile(file_name, kMaxPictureFileBytes, &bytes)) return -1;
  return DecodePictureMemory(bytes.data(), bytes.size(), mirrored, picture);
}

std::string CompanionAlphaName(const std::string& file_name) {
  const size_t dot = file_name.find('.');
  if (dot == std::string::npos) return file_name + "_a";
  return file_name.substr(0, dot) + "_a" + file_name.substr(dot);
}

int DecodePictureFile(const std::string& file_name, bool mirrored, GraphImage* picture,
                      GraphImage* alpha_picture) {
  if (DecodePictureSource(file_name, mirrored, picture) != 0) return -1;
  return DecodePictureSource(CompanionAlphaName(file_name), mirrored, alpha_picture) == 0 ? 0 : 1;
}

}  // namespace graphics
