// The runtime's own raw picture format: "BGRA", a channel-size code (0x08080808 or 0x10101010),
// width and height, then the pixels top-down (blue, green, red, alpha; 8 or 16 bits each, of
// which the high byte is kept). Decodes to the 32-bit layout with alpha.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/graphics/graph_image.h"

namespace graphics {

bool DecodeBgra(const uint8_t* data, size_t size, GraphImage* image);

}  // namespace graphics
