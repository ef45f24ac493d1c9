// The display device plugged into the runtime's start-up and shut-down.
#include <gtest/gtest.h>
#include <unistd.h>

#include "runtime/core/app_log.h"
#include "runtime/core/input.h"
#include "runtime/core/main_window.h"
#include "runtime/core/runtime_startup.h"
#include "runtime/core/runtime_state.h"
#include "runtime/graphics/display_device.h"
#include "runtime/graphics/draw_context.h"
#include "runtime/graphics/graph_table.h"
#include "runtime/platform/instance_lock.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/sound/sound_device.h"
#include "test_support/scratch_directory.h"

namespace {

TEST(DisplayStartupTest, StartUpOpensTheDisplayAndShutDownClosesIt) {
  test_support::ScratchDirectory dir;
  test_support::CurrentDirectoryScope here(dir.path());
  platform::SetInstanceLockSuffixForTesting(("-display-" + std::to_string(getpid())).c_str());
  runtime::ChangeWindowMode(1);
  graphics::InstallDisplayDevice();
  graphics::RequestScreenMode(320, 240, 32, -1);
  ASSERT_EQ(runtime::RuntimeStartup(), 0);
  EXPECT_TRUE(graphics::DisplayDeviceStarted());
  runtime::WindowRect client;
  runtime::GetClientScreenRect(&client);
  EXPECT_EQ(client.right - client.left, 320);
  EXPECT_EQ(client.bottom - client.top, 240);
  EXPECT_EQ(graphics::SelectDrawTarget(graphics::kBackBuffer), 0);
  EXPECT_EQ(graphics::ClearDrawTarget(), 0);
  EXPECT_EQ(graphics::PresentFrame(), 0);
  runtime::RuntimeShutdown();
  EXPECT_FALSE(graphics::DisplayDeviceStarted());
  const std::string log =
      platform::Cp932ToUtf8(test_support::ReadWholeFile(dir.Join("AppLog.txt")));
  for (const char* line :
       {"DirectDraw 関連の初期化を行います\n", "グラフィック管理系の初期化は正常に終了しました\n",
        "DirectDraw 関連の初期化は正常に終了しました\n",
        "DirectDraw 関連の終了処理は正常に終了しました\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line;
  runtime::ResetInput();
  runtime::ResetSoundDevice();
  graphics::ResetDisplayDevice();
  runtime::ResetMainWindow();
  runtime::ResetAppLog();
  runtime::ResetRuntimeState();
  platform::ReleaseInstanceLock();
}

}  // namespace
