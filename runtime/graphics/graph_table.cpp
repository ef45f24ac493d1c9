#include "runtime/graphics/graph_table.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "runtime/core/app_log.h"
#include "runtime/core/runtime_startup.h"
#include "runtime/graphics/display_device.h"
#include "runtime/graphics/draw_context.h"
#include "runtime/graphics/graph_image.h"
#include "runtime/graphics/graph_loading.h"
#include "runtime/graphics/software_blitter.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/text_encoding.h"

namespace graphics {
namespace {

struct TableState {
  bool initialised = false;
  std::vector<std::unique_ptr<GraphEntry>> slots =
      std::vector<std::unique_ptr<GraphEntry>>(kMaxGraphs);
  int count = 0;
  int high_water = 0;
};
TableState g_table;
ReloadHandler g_reload;

bool ValidHandle(int handle) {
  if ((handle & 0xFFFF0000) != 0x10000) return false;
  const int slot = handle & 0xFFFF;
  return slot < kMaxGraphs && g_table.slots[slot];
}

// Copies text into a fixed field, cut to fit.
template <size_t N>
void StoreField(char (&field)[N], const char* text) {
  const size_t length = text ? std::min(std::strlen(text), N - 1) : 0;
  if (length) std::memcpy(field, text, length);
  field[length] = '\0';
}

}  // namespace

int StartGraphTable() {
  if (g_table.initialised) return 0;
  runtime::AppLogWrite(SJIS("グラフィック管理系の初期化を行います\n"));
  runtime::AppLogIndent();
  const uint32_t transparent = GetDrawContext().transparent_colour;
  g_table = TableState{};
  GetDrawContext() = DrawContext{};
  GetDrawContext().transparent_colour = transparent;
  g_table.initialised = true;
  RemoveAllBmpData();
  // The hardware 3D back end is never available on this platform.
  runtime::AppLogWrite(SJIS("３Ｄグラフィック描画機能は使用しません\n"));
  SetUse3DDevice(0);
  SetBlendShortcutsOff(1);
  DrawContext& context = GetDrawContext();
  context.colour_modifier = -1;
  context.update_hooks = 1;
  context.draw_target = kBackBuffer;
  SelectDrawTarget(kFrontBuffer);
  SetClipRect(0, 0, context.target_width, context.target_height);
  context.held = 0;
  runtime::AppLogOutdent();
  runtime::AppLogWrite(SJIS("グラフィック管理系の初期化は正常に終了しました\n"));
  return 0;
}

int EndGraphTable() {
  if (!g_table.initialised) return 0;
  HoldWhileInactive();
  for (int slot = 0; slot < g_table.high_water; ++slot)
    if (g_table.slots[slot]) ReleaseGraph(0x10000 | slot, 0);
  g_table.initialised = false;
  runtime::AppLogWrite(SJIS("グラフィック管理系の終了処理は正常に終了しました\n"));
  return 0;
}

bool IsGraphTableStarted() { return g_table.initialised; }

int RegisterGraphRecord(int width, int height, bool, int colour_flag) {
  if (GetDrawContext().held) return 0;
  if (g_table.count >= kMaxGraphs)
    runtime::FatalErrorExit(SJIS("グラフィックの数が許容量を越えました終了します"));
  int slot = 0;
  while (slot < g_table.high_water && g_table.slots[slot]) ++slot;
  auto entry = std::make_unique<GraphEntry>();
  entry->width = static_cast<uint16_t>(width);
  entry->height = static_cast<uint16_t>(height);
  entry->back_end = 0;  // the 3D path is never in use
  entry->alpha_plane = colour_flag ? 1 : 0;
  entry->layout = DisplayLayout();
  g_table.slots[slot] = std::move(entry);
  ++g_table.count;
  if (slot == g_table.high_water) ++g_table.high_water;
  return 0x10000 | slot;
}

int CreateEmptyGraph(int width, int height) {
  const int handle =
      RegisterGraphRecord(width, height, true, GetDrawContext().creation_colour_flag);
  if (handle <= 0) return handle;
  GraphEntry* entry = LookupGraphRecord(handle);
  const int bmp = AddBmpData(width, height, 0, 0, handle, entry->alpha_plane != 0);
  if (bmp < 0) runtime::FatalErrorExit(SJIS("グラフィックの作成に失敗しました終了します"));
  entry->bmp_data[0] = bmp;
  entry->bmp_data_count = 1;
  return handle;
}

int ReleaseGraph(int handle, int log_it) {
  if (GetDrawContext().held) return 0;
  if (!ValidHandle(handle)) return -1;
  const int slot = handle & 0xFFFF;
  GraphEntry* entry = g_table.slots[slot].get();
  for (int i = 0; i < entry->bmp_data_count; ++i) RemoveBmpData(entry->bmp_data[i]);
  if (log_it) runtime::AppLogWriteFormat(SJIS("グラフィック %s の削除"), entry->file_name);
  --g_table.count;
  g_table.slots[slot].reset();
  if (slot == g_table.high_water - 1)
    while (g_table.high_water > 0 && !g_table.slots[g_table.high_water - 1]) --g_table.high_water;
  return 0;
}

int ReleaseAllGraphs(int log_it) {
  if (!g_table.initialised || GetDrawContext().held) return 0;
  for (int slot = 0; slot < g_table.high_water; ++slot)
    if (g_table.slots[slot]) ReleaseGraph(0x10000 | slot, log_it);
  return 0;
}

GraphEntry* LookupGraphRecord(int handle) {
  return ValidHandle(handle) ? g_table.slots[handle & 0xFFFF].get() : nullptr;
}

int HandleOfGraphRecord(const GraphEntry* entry) {
  for (int slot = 0; slot < g_table.high_water; ++slot)
    if (g_table.slots[slot].get() == entry && entry) return 0x10000 | slot;
  return -1;
}

int QueryGraphSize(int handle_or_target, int* width, int* height) {
  if (handle_or_target == kBackBuffer || handle_or_target == kFrontBuffer)
    return QueryScreenSize(width, height);
  const GraphEntry* entry = LookupGraphRecord(handle_or_target);
  if (!entry) return -1;
  if (width) *width = entry->width;
  if (height) *height = entry->height;
  return 0;
}

int SetGraphOpsHeld(int flag) {
  GetDrawContext().held = flag;
  return 0;
}

bool GraphOpsHeld() { return GetDrawContext().held != 0; }
int HighWaterMark() { return g_table.high_water; }
int GraphCount() { return g_table.count; }

int FillGraphFromImage(const GraphImage& picture, const GraphImage* alpha, int handle,
                       bool mirrored, int source_x, int source_y, const char* file_name) {
  if (GetDrawContext().held) return 0;
  GraphEntry* entry = LookupGraphRecord(handle);
  if (!entry) return -1;
  entry->layout = picture.layout;
  StoreField(entry->directory, platform::CurrentDirectory().c_str());
  StoreField(entry->file_name, file_name);
  entry->mirrored = mirrored ? 1 : 0;
  entry->source_x = static_cast<int16_t>(source_x);
  entry->source_y = static_cast<int16_t>(source_y);
  int result = 0;
  for (int i = 0; i < entry->bmp_data_count; ++i) {
    const BmpData* data = LookupBmpData(entry->bmp_data[i]);
    if (!data) continue;
    result |= CopyImageToBmpData(picture, alpha, source_x + data->offset_x,
                                 source_y + data->offset_y, entry->bmp_data[i]);
  }
  return result;
}

int RepairGraphSurfaces(int handle) {
  if (GetDrawContext().held) return 0;
  GraphEntry* entry = LookupGraphRecord(handle);
  if (!entry) return -1;
  for (int i = 0; i < entry->bmp_data_count; ++i)
    if (BmpData* data = LookupBmpData(entry->bmp_data[i]))
      if (data->surface->lost()) data->surface->Restore();
  return 0;
}

int RepairAllGraphSurfaces() {
  if (!g_table.initialised || GetDrawContext().held) return 0;
  RepairScreenSurfaces();
  for (int slot = 0; slot < g_table.high_water; ++slot)
    if (g_table.slots[slot]) RepairGraphSurfaces(0x10000 | slot);
  return 0;
}

int ReloadLostGraphs() {
  for (int slot = 0; slot < g_table.high_water; ++slot)
    if (g_table.slots[slot]) g_table.slots[slot]->lost = 1;
  if (g_reload) {
    g_reload();
  } else {
    ReloadGraphsFromSourceFiles();
  }
  return 0;
}

void SetGraphReloadHandler(ReloadHandler handler) { g_reload = std::move(handler); }

void ResetGraphTable() {
  g_table = TableState{};
  g_reload = nullptr;
  GetDrawContext() = DrawContext{};
}

}  // namespace graphics
