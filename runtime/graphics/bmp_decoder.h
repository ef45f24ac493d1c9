// Windows bitmap decoding: every depth the format defines (1, 2, 4, 8, 16, 24 and 32 bits per
// pixel), bit-field masks, RLE4 and RLE8, bottom-up and top-down rows, OS/2 and version 3/4/5
// headers. The result is 24-bit top-down rows (bytes blue, green, red, each row padded to a
// multiple of 4 bytes) in the colours the format defines. Everything is read through a
// bounds-checked reader: a damaged file is refused, never read past.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/graphics/graph_image.h"

namespace graphics {

// False when the bytes are not a BMP file this decoder accepts.
bool DecodeBmp(const uint8_t* data, size_t size, GraphImage* image);

}  // namespace graphics
