#include "runtime/graphics/graph_loading.h"

#include <cstring>
#include <string>

#include "runtime/core/app_log.h"
#include "runtime/core/runtime_startup.h"
#include "runtime/graphics/draw_context.h"
#include "runtime/graphics/graph_table.h"
#include "runtime/graphics/picture_decoding.h"
#include "runtime/graphics/software_blitter.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/native_file.h"
#include "runtime/platform/text_encoding.h"

namespace graphics {
namespace {

bool HasAlpha(const GraphImage& picture, int decode_result) {
  return (picture.layout.alpha_width && picture.layout.bytes_per_pixel > 1) || decode_result == 0;
}

// Decodes a picture file, logging a failure. The DecodePictureFile result, or -1.
int DecodeOrLog(const char* file_name, bool mirrored, GraphImage* picture, GraphImage* alpha) {
  const int decoded = DecodePictureFile(file_name, mirrored, picture, alpha);
  if (decoded == -1)
    runtime::AppLogWriteFormat(SJIS("右記のグラフィックファイルのロードに失敗しました：%s"),
                               file_name);
  return decoded;
}

}  // namespace

int LoadPicture(const char* file_name) { return LoadPictureGraph(file_name, true, false); }

int LoadPictureGraph(const char* file_name, bool want_3d, bool mirrored) {
  if (GraphOpsHeld()) return -1;
  HoldWhileInactive();
  GraphImage picture;
  GraphImage alpha;
  const int decoded = DecodeOrLog(file_name, mirrored, &picture, &alpha);
  if (decoded == -1) return -1;
  HoldWhileInactive();
  if (decoded == 0 && (alpha.width != picture.width || alpha.height != picture.height)) return -1;
  const int handle =
      RegisterGraphRecord(picture.width, picture.height, want_3d, HasAlpha(picture, decoded));
  GraphEntry* entry = LookupGraphRecord(handle);
  const int bmp = AddBmpData(picture.width, picture.height, 0, 0, handle, entry->alpha_plane != 0);
  if (bmp < 0) runtime::FatalErrorExit(SJIS("グラフィックの作成に失敗しました終了します"));
  entry->bmp_data[0] = bmp;
  entry->bmp_data_count = 1;
  FillGraphFromImage(picture, decoded == 0 ? &alpha : nullptr, handle, mirrored, 0, 0, file_name);
  return handle;
}

int LoadDividedPicture(const char* file_name, int cell_count, int cells_per_row, int row_count,
                       int cell_width, int cell_height, int* handles, int software) {
  return LoadDividedPictureGraph(file_name, cell_count, cells_per_row, row_count, cell_width,
                                 cell_height, handles, software == 0, false);
}

int LoadDividedPictureGraph(const char* file_name, int cell_count, int cells_per_row, int row_count,
                            int cell_width, int cell_height, int* handles, bool want_3d,
                            bool mirrored) {
  if (GraphOpsHeld()) return 0;
  HoldWhileInactive();
  GraphImage picture;
  GraphImage alpha;
  const int decoded = DecodeOrLog(file_name, mirrored, &picture, &alpha);
  if (decoded == -1) return -1;
  const GraphImage* alpha_picture = decoded == 0 ? &alpha : nullptr;
  const int result = CreateDXDivGraph(picture, alpha_picture, cell_count, cells_per_row, row_count,
                                      cell_width, cell_height, handles, want_3d);
  if (result == 0)
    BltBmpToDivGraph(picture, alpha_picture, file_name, cell_count, cells_per_row, cell_width,
                     cell_height, handles, mirrored);
  return result;
}

int CreateDXDivGraph(const GraphImage& picture, const GraphImage* alpha, int cell_count,
                     int cells_per_row, int row_count, int cell_width, int cell_height,
                     int* handles, bool want_3d) {
  HoldWhileInactive();
  if (alpha && (alpha->width != picture.width || alpha->height != picture.height)) return -1;
  if (cell_count <= 0 || cells_per_row <= 0 || row_count <= 0 || cell_width <= 0 ||
      cell_height <= 0 || cell_count > cells_per_row * row_count ||
      picture.width < cells_per_row * cell_width || picture.height < row_count * cell_height)
    return runtime::AppLogWriteFormat("%s",
                                      SJIS("指定のサイズで分割できません in CreateDXDivGraph\n"));
  const bool alpha_plane =
      (picture.layout.alpha_width && picture.layout.bytes_per_pixel > 1) || alpha;
  for (int i = 0; i < cell_count; ++i) {
    handles[i] = RegisterGraphRecord(cell_width, cell_height, want_3d, alpha_plane);
    GraphEntry* entry = LookupGraphRecord(handles[i]);
    const int bmp = entry ? AddBmpData(cell_width, cell_height, 0, 0, handles[i], alpha_plane) : -1;
    if (bmp < 0)
      runtime::FatalErrorExit(
          SJIS("グラフィックファイルの格納用グラフィック領域の作成に失敗しました in "
               "CreateDXDivGraph Point1"));
    entry->bmp_data[0] = bmp;
    entry->bmp_data_count = 1;
  }
  return 0;
}

int BltBmpToDivGraph(const GraphImage& picture, const GraphImage* alpha, const char* file_name,
                     int cell_count, int cells_per_row, int cell_width, int cell_height,
                     const int* handles, bool mirrored) {
  if (GraphOpsHeld()) return 0;
  // Every cell's handle is checked before any pixels are copied: a bad one leaves all cells as
  // they were.
  for (int i = 0; i < cell_count; ++i)
    if (!LookupGraphRecord(handles[i])) return -1;
  int result = 0;
  for (int i = 0; i < cell_count; ++i) {
    const int column = i % cells_per_row;
    const int row = i / cells_per_row;
    const int source_x = cell_width * (mirrored ? cells_per_row - 1 - column : column);
    result |= FillGraphFromImage(picture, alpha, handles[i], mirrored, source_x, cell_height * row,
                                 file_name);
  }
  return result;
}

void ReloadGraphsFromSourceFiles() {
  runtime::AppLogWrite(SJIS("グラフィックを復帰します\n"));
  const std::string remembered = platform::CurrentDirectory();
  GraphImage picture;
  GraphImage alpha;
  int decoded = -1;
  std::string held_name;
  std::string held_directory;
  bool held_mirrored = false;
  for (int slot = 0; slot < HighWaterMark(); ++slot) {
    GraphEntry* entry = LookupGraphRecord(0x10000 | slot);
    if (!entry || !entry->lost || entry->file_name[0] == '\0') continue;
    if (std::strlen(entry->directory) <= 128 && std::strlen(entry->file_name) <= 64) {
      const bool same = decoded != -1 && held_name == entry->file_name &&
                        held_directory == entry->directory &&
                        held_mirrored == (entry->mirrored != 0);
      if (!same) {
        if (!platform::ChangeDirectory(entry->directory)) {
          // The folder is gone: decoding below fails and reports it.
        }
        runtime::AppLogWriteFormat(SJIS("パス:%s ファイル:%s をロードします"), entry->directory,
                                   entry->file_name);
        decoded = DecodePictureFile(entry->file_name, entry->mirrored != 0, &picture, &alpha);
        if (decoded == -1) {
          runtime::AppLogWriteFormat(SJIS("パス:%s ファイル:%s がロードできませんでした"),
                                     entry->directory, entry->file_name);
          break;
        }
        held_name = entry->file_name;
        held_directory = entry->directory;
        held_mirrored = entry->mirrored != 0;
      }
      const std::string name = entry->file_name;
      FillGraphFromImage(picture, decoded == 0 ? &alpha : nullptr, 0x10000 | slot,
                         entry->mirrored != 0, entry->source_x, entry->source_y, name.c_str());
    }
    entry->lost = 0;
  }
  if (!platform::ChangeDirectory(remembered)) {
    // Nowhere better to be.
  }
}

}  // namespace graphics
