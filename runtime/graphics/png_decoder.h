// PNG decoding through libpng, with the transforms the runtime relies on: 16-bit channels cut to
// 8, sub-byte samples unpacked, palettes, low-bit grey and transparency chunks expanded, and
// blue-green-red byte order. Grey pictures give the one-byte layout, RGB the 24-bit layout, and
// pictures with alpha the 32-bit layout (grey with alpha is widened to colour with alpha).
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/graphics/graph_image.h"

namespace graphics {

bool DecodePng(const uint8_t* data, size_t size, GraphImage* image);

}  // namespace graphics
