// Graphs from picture files: a whole picture as one graph, or a sheet cut into equal cells (one
// graph each, in row-major order). Each graph remembers its file, folder, cell origin and
// mirroring, so that graphs whose surfaces were lost are reloaded from their files. Main thread.
#pragma once

#include "runtime/graphics/graph_image.h"

namespace graphics {

// A whole picture as one graph: its handle, or -1 (logged) when it cannot be decoded.
int LoadPicture(const char* file_name);
int LoadPictureGraph(const char* file_name, bool want_3d, bool mirrored);
// A sheet cut into cell_count cells of cell_width × cell_height, cells_per_row to a row.
int LoadDividedPicture(const char* file_name, int cell_count, int cells_per_row, int row_count,
                       int cell_width, int cell_height, int* handles, int software);
int LoadDividedPictureGraph(const char* file_name, int cell_count, int cells_per_row, int row_count,
                            int cell_width, int cell_height, int* handles, bool want_3d,
                            bool mirrored);
int CreateDXDivGraph(const GraphImage& picture, const GraphImage* alpha, int cell_count,
                     int cells_per_row, int row_count, int cell_width, int cell_height,
                     int* handles, bool want_3d);
int BltBmpToDivGraph(const GraphImage& picture, const GraphImage* alpha, const char* file_name,
                     int cell_count, int cells_per_row, int cell_width, int cell_height,
                     const int* handles, bool mirrored);
// The default reload handler: every lost graph is refilled from its file.
void ReloadGraphsFromSourceFiles();

}  // namespace graphics
