#include "graphics_fixture.h"

#include "runtime/core/app_log.h"
#include "runtime/core/main_window.h"
#include "runtime/core/runtime_state.h"
#include "runtime/graphics/display_device.h"
#include "runtime/graphics/draw_context.h"
#include "runtime/graphics/graph_table.h"
#include "test_support/bmp_writer.h"

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

void GraphicsFixture::WriteBmp(const std::string& relative, int w, int h,
                               uint32_t (*colour)(int, int)) {
  const std::vector<uint8_t> bytes = MakeBmp24(w, h, true, colour);
  dir.WriteFile(relative, std::string(bytes.begin(), bytes.end()));
}

uint32_t GraphicsFixture::BackPixel(int x, int y) {
  return graphics::BackSurface()->Pixel(x, y) & 0xFFFFFF;
}

}  // namespace test_support
