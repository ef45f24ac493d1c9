#include "runtime/core/input.h"

#include <gtest/gtest.h>

#include "runtime/core/app_log.h"
#include "runtime/core/main_window.h"
#include "runtime/core/runtime_state.h"
#include "runtime/platform/key_codes.h"
#include "runtime/platform/text_encoding.h"
#include "test_support/fake_input_devices.h"
#include "test_support/scratch_directory.h"

namespace {

using runtime::ReadPadState;
using test_support::FakeInputControls;

class InputTest : public testing::Test {
 protected:
  void SetUp() override {
    runtime::ResetInput();
    runtime::ResetAppLog();
    runtime::ResetRuntimeState();
    runtime::GetRuntimeState().StartupDirectory = dir_.path();
    test_support::CurrentDirectoryScope here(dir_.path());
    runtime::PrepareAppLog();
  }
  void TearDown() override {
    runtime::ResetInput();
    runtime::ResetAppLog();
    runtime::ResetRuntimeState();
  }
  void Start() {
    runtime::SetInputDevicesForTesting(std::make_unique<test_support::FakeInputDevices>(&c_));
    ASSERT_EQ(runtime::InitInput(), 0);
  }
  std::string Log() const { return test_support::ReadWholeFile(dir_.Join("AppLog.txt")); }

  FakeInputControls c_;
  test_support::ScratchDirectory dir_;
};

TEST_F(InputTest, StartingLogsItsStepsAndRegistersAtMostSevenPads) {
  c_.pads.resize(9);
  c_.pads[1].fail_step = static_cast<int>(platform::PadSetupStep::kYDeadZone);
  Start();
  EXPECT_EQ(runtime::RegisteredPadCount(), 7);  // pad 1 refused, then seven taken, the ninth left
  const std::string log = Log();
  EXPECT_NE(log.find(SJIS("DirectInputオブジェクトの取得中... 成功\n")), std::string::npos);
  EXPECT_NE(log.find(SJIS("ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n")),
            std::string::npos);
  EXPECT_NE(log.find(SJIS("デバイスの登録名:Fake Pad\n")), std::string::npos);
  EXPECT_NE(log.find(SJIS("キーボードデバイスの初期化... 初期化成功\n")), std::string::npos);
  EXPECT_NE(log.find(SJIS("DirectInput 関連の初期化は正常に終了しました\n")), std::string::npos);
  EXPECT_EQ(runtime::InitInput(), 0);  // already started
  runtime::EndInput();
  EXPECT_NE(Log().find(SJIS("DirectInput 関連の終了処理... 完了\n")), std::string::npos);
  EXPECT_TRUE(c_.released);
}

TEST_F(InputTest, AServiceThatCannotStartFailsTheStart) {
  c_.fail_initialise = true;
  runtime::SetInputDevicesForTesting(std::make_unique<test_support::FakeInputDevices>(&c_));
  EXPECT_EQ(runtime::InitInput(), -1);
  EXPECT_FALSE(runtime::IsInputStarted());
  EXPECT_NE(Log().find(SJIS("初期化に失敗\n")), std::string::npos);
}

TEST_F(InputTest, KeysReadAsOnesAndZerosAndF10F12ComeFromTheWindowFlags) {
  Start();
  c_.keys[57] = 0x80;
  c_.keys[68] = 0x80;  // the device's own F10 does not count
  uint8_t states[256];
  ASSERT_EQ(runtime::ReadKeyboardState(states), 0);
  EXPECT_EQ(states[57], 1);
  EXPECT_EQ(states[68], 0);
  runtime::SetF10Down();
  runtime::SetF12Down();
  runtime::ReadKeyboardState(states);
  EXPECT_EQ(states[68], 1);
  EXPECT_EQ(states[88], 1);
  runtime::SetF10Up();
  runtime::ReadKeyboardState(states);
  EXPECT_EQ(states[68], 0);
}

TEST_F(InputTest, ALostKeyboardIsAcquiredAgainOrKeepsTheLastKeys) {
  Start();
  uint8_t states[256];
  c_.keys[1] = 0x80;
  runtime::ReadKeyboardState(states);
  c_.keys[1] = 0;
  c_.keyboard_reads_lost = 1;  // lost, re-acquired, read again
  runtime::ReadKeyboardState(states);
  EXPECT_EQ(states[1], 0);
  c_.keys[1] = 0x80;
  runtime::ReadKeyboardState(states);
  c_.keyboard_reads_lost = 1;
  c_.keyboard_acquire_failures = 1;  // cannot get it back: the previous frame's keys stay
  c_.keys[1] = 0;
  runtime::ReadKeyboardState(states);
  EXPECT_EQ(states[1], 1);
  c_.keyboard_read_error = true;  // another error: every key reads as up
  runtime::ReadKeyboardState(states);
  EXPECT_EQ(states[1], 0);
}

TEST_F(InputTest, ThePadWordOrsPadAndKeyboardBits) {
  c_.pads.resize(1);
  Start();
  c_.keys[203] = 0x80;                   // Left
  c_.keys[75] = 0x80;                    // numeric pad 4
  EXPECT_EQ(ReadPadState(0x1000), 0x2);  // once, however many keys give it
  c_.pads[0].reading.x = -1000;
  c_.keys[203] = 0;
  c_.keys[75] = 0;
  c_.keys[205] = 0x80;  // Right
  EXPECT_EQ(ReadPadState(0x1001), 0x6);
  c_.pads[0].reading.buttons[0] = 0x80;
  c_.pads[0].reading.buttons[23] = 0x80;
  c_.pads[0].reading.y = 500;
  EXPECT_EQ(ReadPadState(1), 0x2 | 0x1 | 0x10 | (1 << 27));  // no keyboard without the bit
  c_.keys[1] = 0x80;
  c_.keys[57] = 0x80;
  EXPECT_EQ(ReadPadState(0x1000) & 0x3000, 0x3000);
}

TEST_F(InputTest, PadNumbersOutsideTheRangeReadNothing) {
  c_.pads.resize(1);
  Start();
  c_.keys[57] = 0x80;
  c_.pads[0].reading.x = 1000;
  EXPECT_EQ(ReadPadState(9), 0);
  EXPECT_EQ(ReadPadState(0x1009), 0);
  EXPECT_EQ(ReadPadState(3), 0);            // no third pad: nothing from it
  EXPECT_EQ(ReadPadState(0x1000), 0x2000);  // no pad, keyboard only
}

TEST_F(InputTest, AnUnpluggedPadContributesNothingAndIsAskedBack) {
  c_.pads.resize(1);
  Start();
  c_.pads[0].unplugged = true;
  const int acquires = c_.pad_acquires;
  EXPECT_EQ(ReadPadState(1), 0);
  EXPECT_EQ(c_.pad_acquires, acquires + 1);
  c_.pads[0].unplugged = false;
  c_.pads[0].reading.y = -1000;
  EXPECT_EQ(ReadPadState(1), 0x8);
}

TEST_F(InputTest, AReadBeforeStartingStartsTheInput) {
  runtime::SetInputDevicesForTesting(std::make_unique<test_support::FakeInputDevices>(&c_));
  uint8_t states[256] = {};
  EXPECT_EQ(runtime::ReadKeyboardState(states), 0);
  EXPECT_TRUE(runtime::IsInputStarted());
}

TEST_F(InputTest, APadReadBeforeStartingStartsTheInputWhateverThePadNumber) {
  // Both reads begin alike, before the pad number is looked at: an out-of-range pad still
  // starts the input (and returns what the start returned).
  runtime::SetInputDevicesForTesting(std::make_unique<test_support::FakeInputDevices>(&c_));
  EXPECT_EQ(ReadPadState(0x1009), 0);
  EXPECT_TRUE(runtime::IsInputStarted());
}

TEST_F(InputTest, KeyboardFailuresEndTheProgram) {
  c_.keyboard_acquire_failures = 2;
  runtime::SetInputDevicesForTesting(std::make_unique<test_support::FakeInputDevices>(&c_));
  {
    const test_support::ScratchSharedWithDeathTest shared(dir_);
    EXPECT_EXIT(runtime::InitInput(), testing::ExitedWithCode(255), "");
  }
  EXPECT_NE(Log().find(SJIS("キーボードデバイスの取得に失敗しました\n")), std::string::npos);
  EXPECT_NE(Log().find(SJIS("ソフトをエラー終了します")), std::string::npos);
}

TEST(KeyCodesTest, TheTableCoversTheWholeKeyboard) {
  using platform::KeyCodeOfScancode;
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_ESCAPE), 1);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_1), 2);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_0), 11);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_E), 18);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_P), 25);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_S), 31);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_D), 32);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_RETURN), 28);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_SPACE), 57);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_F1), 59);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_F10), 68);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_F12), 88);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_KP_8), 72);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_KP_2), 80);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_KP_ENTER), 156);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_RCTRL), 157);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_UP), 200);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_LEFT), 203);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_RIGHT), 205);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_DOWN), 208);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_DELETE), 211);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_LSHIFT), 42);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_RALT), 184);
  EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_UNKNOWN), 0);
  int mapped = 0;
  for (int s = 0; s < SDL_NUM_SCANCODES; ++s)
    mapped += KeyCodeOfScancode(static_cast<SDL_Scancode>(s)) != 0;
  EXPECT_GE(mapped, 120);
}

TEST(PadAxisTest, AxesScaleToAThousandWithAQuarterDeadZone) {
  EXPECT_EQ(platform::ScalePadAxis(0), 0);
  EXPECT_EQ(platform::ScalePadAxis(8000), 0);  // 244: inside the dead zone
  EXPECT_GT(platform::ScalePadAxis(9000), 0);
  EXPECT_EQ(platform::ScalePadAxis(32767), 1000);
  EXPECT_EQ(platform::ScalePadAxis(-32768), -1000);
  EXPECT_LT(platform::ScalePadAxis(-9000), 0);
}

}  // namespace
