// The graph handle table: every picture the runtime can draw or draw into is a graph named by a
// handle (0x10000 | slot, slot below 3000). The table hands out handles, validates them, keeps
// each graph's facts (size, its pixels' BMP data, the file it came from) and releases graphs one
// by one or all at once. Main thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "runtime/graphics/pixel_layout.h"

namespace graphics {

inline constexpr int kMaxGraphs = 3000;
inline constexpr int kBackBuffer = -2;
inline constexpr int kFrontBuffer = -4;

struct GraphEntry {
  uint8_t back_end = 0;  // 0: the software blitter
  uint8_t alpha_plane = 0;
  uint8_t mirrored = 0;
  int bmp_data[64] = {};
  uint8_t bmp_data_count = 0;
  char file_name[60] = {};   // as the caller spelled it (CP932)
  char directory[256] = {};  // the current directory when it was loaded
  int16_t source_x = 0;
  int16_t source_y = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  PixelLayout layout;
  uint8_t lost = 0;
};

int StartGraphTable();
int EndGraphTable();
bool IsGraphTableStarted();

// A new entry of width × height; returns its handle. Held: 0. A full table ends the process.
int RegisterGraphRecord(int width, int height, bool want_3d, int colour_flag);
// A new graph with surfaces (pixels undefined until drawn).
int CreateEmptyGraph(int width, int height);
int ReleaseGraph(int handle, int log_it);
int ReleaseAllGraphs(int log_it);
GraphEntry* LookupGraphRecord(int handle);
int HandleOfGraphRecord(const GraphEntry* entry);
// -2 and -4 give the screen size; a graph its own. -1 for anything else.
int QueryGraphSize(int handle_or_target, int* width, int* height);
int SetGraphOpsHeld(int flag);
bool GraphOpsHeld();
int HighWaterMark();
int GraphCount();

// Records where the picture came from (directory, then name) and copies its pixels in.
struct GraphImage;
int FillGraphFromImage(const GraphImage& picture, const GraphImage* alpha, int handle,
                       bool mirrored, int source_x, int source_y, const char* file_name);
int RepairGraphSurfaces(int handle);
int RepairAllGraphSurfaces();
int ReloadLostGraphs();
using ReloadHandler = std::function<void()>;
void SetGraphReloadHandler(ReloadHandler handler);

// Back to the state at process start (tests).
void ResetGraphTable();

}  // namespace graphics
