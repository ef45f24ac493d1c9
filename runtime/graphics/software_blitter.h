// The software drawing back end of every graph: the BMP data table (one entry per surface that
// holds a graph's pixels, with its colour key and optional alpha plane), the conversion of
// decoded pictures into surfaces, and PutGraph, which draws a graph onto the draw target opaque
// or with the transparent colour left out, clipped to the draw area. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/graphics/graph_image.h"
#include "runtime/platform/pixel_surface.h"

namespace graphics {

inline constexpr int kMaxBmpData = 3000;

struct BmpData {
  std::shared_ptr<platform::PixelSurface> surface;
  uint16_t offset_x = 0;  // this rectangle inside the owning graph
  uint16_t offset_y = 0;
  uint16_t surface_x = 0;  // the rectangle inside its surface
  uint16_t surface_y = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  int owner = -1;
  std::vector<uint8_t> alpha_plane;  // width × height, empty without one
  uint32_t colour_key = 0;           // 0xRRGGBB
};

// A new BMP data with its own surface. -1 on failure (logged).
int AddBmpData(int width, int height, int offset_x, int offset_y, int owner, bool with_alpha_plane);
void RemoveBmpData(int index);
BmpData* LookupBmpData(int index);
void RemoveAllBmpData();
int BmpDataCount();

// Copies a picture's rectangle at (source_x, source_y) into the BMP data's surface, converting to
// the display's layout; fills the alpha plane from the picture's alpha or the alpha picture.
int CopyImageToBmpData(const GraphImage& picture, const GraphImage* alpha, int source_x,
                       int source_y, int index);
// Draws a BMP data at (x, y) on the draw target: the draw-area clipping, then a plain or keyed
// copy (or the alpha-plane path when it has one).
int G_DDraw_DrawGraph(int x, int y, int bmp_index, int transparent);

// The application's drawing call. 0, -1 for an invalid handle.
int PutGraph(int x, int y, int handle, int transparent);

// The display's colour for r, g, b.
uint32_t MapRgbToPixel(int r, int g, int b);
int SetBlendShortcutsOff(int flag);

}  // namespace graphics
