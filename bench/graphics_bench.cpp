// Drawing cost on a 320 × 240 32-bit back buffer (SDL's offscreen video): a whole opaque
// background, 8 × 8 font cells with transparency, and presenting the frame.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "runtime/core/main_window.h"
#include "runtime/graphics/display_device.h"
#include "runtime/graphics/draw_context.h"
#include "runtime/graphics/graph_table.h"
#include "runtime/graphics/software_blitter.h"

namespace {

// Starts a display once for all benchmarks; returns a 320 × 240 graph and an 8 × 8 cell.
std::pair<int, int> Display() {
  static std::pair<int, int> graphs = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    runtime::ChangeWindowMode(1);
    graphics::InstallDisplayDevice();
    graphics::RequestScreenMode(320, 240, 32, -1);
    runtime::CreateMainWindow();
    runtime::GetWindowState().active = 1;
    graphics::StartDisplayDevice();
    graphics::SelectDrawTarget(graphics::kBackBuffer);
    const int background = graphics::CreateEmptyGraph(320, 240);
    const int cell = graphics::CreateEmptyGraph(8, 8);
    graphics::SelectDrawTarget(cell);
    graphics::ClearDrawTarget();
    graphics::SelectDrawTarget(graphics::kBackBuffer);
    // Half of the cell's pixels are lit, the rest transparent black.
    platform::PixelSurface* cell_surface =
        graphics::LookupBmpData(graphics::LookupGraphRecord(cell)->bmp_data[0])->surface.get();
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) cell_surface->SetPixel(x, y, (x + y) % 2 ? 0xFFFFFF : 0);
    return std::make_pair(background, cell);
  }();
  return graphs;
}

void BM_PutGraphOpaqueBackground(benchmark::State& state) {
  const int background = Display().first;
  for (auto _ : state) graphics::PutGraph(0, 0, background, 0);
  state.SetItemsProcessed(state.iterations() * 320 * 240);
}
BENCHMARK(BM_PutGraphOpaqueBackground);

void BM_PutGraphTransparentCell(benchmark::State& state) {
  const int cell = Display().second;
  int x = 0;
  for (auto _ : state) {
    graphics::PutGraph(x, 100, cell, 1);
    x = (x + 8) % 312;
  }
  state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_PutGraphTransparentCell);

void BM_PresentFrame(benchmark::State& state) {
  Display();
  graphics::SetVSyncWait(0);
  for (auto _ : state) graphics::PresentFrame();
}
BENCHMARK(BM_PresentFrame);

}  // namespace
