// Picture files to in-memory pictures: the format is found by content (BMP, then PNG, then the
// raw BGRA format), the picture can be mirrored left to right, and a companion alpha picture is
// looked for beside the main one (the name with "_a" inserted before its first '.').
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/graphics/graph_image.h"

namespace graphics {

// Decodes bytes in memory. 0, or -1 when no decoder accepts them.
int DecodePictureMemory(const uint8_t* data, size_t size, bool mirrored, GraphImage* picture);
// Decodes a data path. 0, or -1 when the file cannot be read or decoded.
int DecodePictureSource(const std::string& file_name, bool mirrored, GraphImage* picture);
// -1: the main picture could not be decoded; 1: decoded, no companion alpha picture; 0: both.
int DecodePictureFile(const std::string& file_name, bool mirrored, GraphImage* picture,
                      GraphImage* alpha_picture);
// "system\jukebg.png" -> "system\jukebg_a.png"; a name without '.' gets "_a" at its end.
std::string CompanionAlphaName(const std::string& file_name);

}  // namespace graphics
