#include "graphics_fixture.h"

#include "runtime/core/app_log.h"
#include "runtime/core/main_window.h"
#include "runtime/core/runtime_state.h"
#include "runtime/graphics/display_device.h"
#include "runtime/graphics/draw_context.h"
#include "runtime/graphics/graph_table.h"

namespace test_support {

void GraphicsFixture::SetUp() {
  runtime::ResetMainWindow();
  runtime::ResetAppLog();
  runtime::ResetRuntimeState();
  graphics::ResetDisplayDevice();
  here_ = std::make_unique<CurrentDirectoryScope>(dir.path());
  runtime::GetRuntimeState().StartupDirectory = dir.path();
  runtime::PrepareAppLog();
  runtime::ChangeWindowMode(1);
  graphics::InstallDisplayDevice();
  graphics::RequestScreenMode(320, 240, 32, -1);
  ASSERT_EQ(runtime::CreateMainWindow(), 0);
  runtime::GetWindowState().active = 1;
  ASSERT_EQ(graphics::StartDisplayDevice(), 0);
  ASSERT_EQ(graphics::SelectDrawTarget(graphics::kBackBuffer), 0);
  graphics::ClearDrawTarget();
}

void GraphicsFixture::TearDown() {
  graphics::EndDisplayDevice();
  graphics::ResetDisplayDevice();
  runtime::ResetMainWindow();
  runtime::ResetAppLog();
  runtime::ResetRuntimeState();
  here_.reset();
}

std::string GraphicsFixture::Log() const { return ReadWholeFile(dir.Join("AppLog.txt")); }

void GraphicsFixture::WriteBmp(const std::string& relative, int w, int h, uint32_t (*colour)(int, int)) {
  const int row = (w * 3 + 3) & ~3;
  std::string b(54 + static_cast<size_t>(row) * h, '\0');
  auto u32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  u32(2, static_cast<uint32_t>(b.size()));
  u32(10, 54);
  u32(14, 40);
  u32(18, static_cast<uint32_t>(w));
  u32(22, static_cast<uint32_t>(-h));  // top-down
  b[26] = 1;
  b[28] = 24;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = colour(x, y);
      char* p = &b[54 + static_cast<size_t>(y) * row + x * 3];
      p[0] = static_cast<char>(c & 0xFF);
      p[1] = static_cast<char>((c >> 8) & 0xFF);
      p[2] = static_cast<char>((c >> 16) & 0xFF);
    }
  dir.WriteFile(relative, b);
}

uint32_t GraphicsFixture::BackPixel(int x, int y) {
  return graphics::BackSurface()->Pixel(x, y) & 0xFFFFFF;
}

}  // namespace test_support
