#include "runtime/core/main_window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <thread>

#include "runtime/core/app_log.h"
#include "runtime/core/runtime_state.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/sdl_window.h"
#include "runtime/platform/text_encoding.h"

namespace {

using platform::MessageKind;
using runtime::GetWindowState;
using runtime::PumpMessages;

// A window made the way start-up makes it, on SDL's offscreen video driver.
class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    runtime::ResetMainWindow();
    runtime::ResetRuntimeState();
    runtime::ChangeWindowMode(1);
    runtime::SetWindowTitle(platform::Utf8ToCp932("Orvalinde (仮)  JUKEBOX").c_str());
    ASSERT_EQ(runtime::CreateMainWindow(), 0);
    GetWindowState().active = 1;
    runtime::FinishWindowSetUp();
  }
  void TearDown() override { runtime::ResetMainWindow(); }

  static void PushWindowEvent(Uint8 event) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = event;
    SDL_PushEvent(&e);
  }
};

TEST_F(MainWindowTest, TheClientAreaIsTheScreenSizeCentredAndTheTitleIsUtf8) {
  runtime::WindowRect client;
  runtime::GetClientScreenRect(&client);
  EXPECT_EQ(client.right - client.left, 640);  // no display device: the default screen size
  EXPECT_EQ(client.bottom - client.top, 480);
  int desktop_width = 0;
  int desktop_height = 0;
  int depth = 0;
  runtime::GetDesktopMode(&desktop_width, &desktop_height, &depth);
  EXPECT_EQ(client.left, (desktop_width - 640) / 2);
  EXPECT_EQ(client.top, (desktop_height - 480) / 2);
  EXPECT_EQ(depth % 8, 0);
  EXPECT_NE(depth, 24);  // bytes per pixel × 8
  EXPECT_STREQ(SDL_GetWindowTitle(platform::SdlWindow::native()), "Orvalinde (仮)  JUKEBOX");
  EXPECT_TRUE(SDL_GetWindowFlags(platform::SdlWindow::native()) & SDL_WINDOW_SHOWN);
}

TEST_F(MainWindowTest, ClosingGivesMinusOneNowAndOnEveryLaterCall) {
  EXPECT_EQ(PumpMessages(), 0);
  PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  EXPECT_EQ(PumpMessages(), -1);
  EXPECT_EQ(PumpMessages(), -1);
  EXPECT_EQ(PumpMessages(), -1);
  EXPECT_EQ(GetWindowState().window_destroyed, 1);
  EXPECT_EQ(runtime::GetRuntimeState().RuntimeEnding, 4);
  EXPECT_FALSE(runtime::GetMainWindow());
}

TEST_F(MainWindowTest, AQuitRequestClosesTheWindowToo) {
  SDL_Event e{};
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
  EXPECT_EQ(PumpMessages(), -1);
}

TEST_F(MainWindowTest, FocusLostHoldsThePumpUntilFocusReturns) {
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  std::thread returner([] {
    platform::SleepMs(150);
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  });
  const uint32_t start = platform::ClockMs();
  EXPECT_EQ(PumpMessages(), 0);
  const uint32_t held = platform::ClockMs() - start;
  returner.join();
  EXPECT_GE(held, 140u);  // it returned only after the focus came back
  EXPECT_EQ(runtime::IsWindowActive(), 1);
}

TEST_F(MainWindowTest, ACloseRequestedByTheRuntimeEndsTheHold) {
  GetWindowState().active = 0;
  GetWindowState().close_requested = 1;
  EXPECT_EQ(PumpMessages(), 0);  // does not hold
}

TEST_F(MainWindowTest, KeysAndCharactersFillTheBufferUntilItIsFull) {
  for (int i = 0; i < 1100; ++i) runtime::PostWindowMessage(MessageKind::kChar, 'a');
  runtime::PostWindowMessage(MessageKind::kKeyDown, platform::kVkLeft);
  PumpMessages();
  EXPECT_EQ(runtime::CharacterBufferCount(), 1024);
}

TEST_F(MainWindowTest, DisplayChangesTheScreenCannotFollowCloseTheWindowOnce) {
  // A 24-bit desktop.
  runtime::PostWindowMessage(MessageKind::kDisplayChange, 24, (1080 << 16) | 1920);
  EXPECT_EQ(PumpMessages(), -1);
  EXPECT_EQ(GetWindowState().close_requested, 1);
  EXPECT_EQ(GetWindowState().display_changed, 0);
}

TEST_F(MainWindowTest, ADisplayChangeTheScreenCanFollowKeepsItRunning) {
  runtime::PostWindowMessage(MessageKind::kDisplayChange, 32, (1080 << 16) | 1920);
  EXPECT_EQ(PumpMessages(), 0);
  EXPECT_EQ(GetWindowState().display_changed, 1);
  runtime::PostWindowMessage(MessageKind::kDisplayChange, 32, (400 << 16) | 600);  // too small
  EXPECT_EQ(PumpMessages(), -1);
}

TEST_F(MainWindowTest, TheKeyFlagMessagesReachTheInput) {
  runtime::PostWindowMessage(MessageKind::kF12Flag, 1);
  runtime::PostWindowMessage(MessageKind::kMove, 0, (100 << 16) | 50);
  PumpMessages();
  runtime::WindowRect client;
  runtime::GetClientScreenRect(&client);
  EXPECT_EQ(client.left, 50);
  EXPECT_EQ(client.top, 100);
  EXPECT_EQ(client.right - client.left, 640);
}

TEST(ChangeWindowModeTest, BeforeTheWindowExistsItOnlyStoresTheMode) {
  runtime::ResetMainWindow();
  EXPECT_EQ(runtime::ChangeWindowMode(1), 0);
  EXPECT_EQ(runtime::IsWindowMode(), 1);
  EXPECT_EQ(runtime::ChangeWindowMode(1), 0);  // the current mode: nothing to do
  EXPECT_FALSE(runtime::GetMainWindow());
  runtime::ResetMainWindow();
}

}  // namespace
