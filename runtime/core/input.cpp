#include "runtime/core/input.h"

#include <algorithm>
#include <cstring>

#include "runtime/core/app_log.h"
#include "runtime/core/main_window.h"
#include "runtime/core/runtime_startup.h"
#include "runtime/platform/sdl_window.h"
#include "runtime/platform/text_encoding.h"

namespace runtime {
namespace {

using platform::DeviceResult;
using platform::PadSetupStep;

struct InputState {
  std::unique_ptr<platform::InputDevices> devices;  // the direct-input object, null when ended
  bool keyboard = false;
  int pad_count = 0;
  int pad_index[8] = {-1, -1, -1, -1, -1, -1, -1, -1};  // device index of pad slot n
  bool f10 = false;
  bool f12 = false;
};
InputState g_input;
std::unique_ptr<platform::InputDevices> g_replacement;

// The keyboard keys folded into the pad word: key code and bit.
struct KeyBit {
  int code;
  int bit;
};
constexpr KeyBit kKeyBits[] = {
    {208, 0x1},  {80, 0x1},   {203, 0x2},  {75, 0x2},   {205, 0x4},  {77, 0x4},
    {200, 0x8},  {72, 0x8},   {44, 0x10},  {45, 0x20},  {46, 0x40},  {30, 0x80},
    {31, 0x100}, {32, 0x200}, {16, 0x400}, {17, 0x800}, {1, 0x1000}, {57, 0x2000},
};

std::unique_ptr<platform::InputDevices> TakeDevices() {
  if (g_replacement) return std::move(g_replacement);
  return platform::MakeSdlInputDevices();
}

// Releases what was made and ends the program with `message`.
[[noreturn]] void FailKeyboard(const char* message) {
  if (g_input.devices) {
    if (g_input.keyboard) g_input.devices->CloseKeyboard();
    g_input.devices->Release();
  }
  g_input.devices.reset();
  g_input.keyboard = false;
  FatalErrorExit(message);
}

const char* PadSetupFailure(PadSetupStep step) {
  switch (step) {
    case PadSetupStep::kDataFormat:
      return SJIS("ジョイパッドデバイスではありませんでした、又は設定に失敗しました\n");
    case PadSetupStep::kCooperativeLevel:
      return SJIS("ジョイパッドデバイスの協調レベルの設定に失敗しました\n");
    case PadSetupStep::kXRange:
      return SJIS("ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n");
    case PadSetupStep::kYRange:
      return SJIS("ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n");
    case PadSetupStep::kXDeadZone:
      return SJIS("ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました\n");
    case PadSetupStep::kYDeadZone:
      return SJIS("ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n");
  }
  return "";
}

void RegisterPad(int index) {
  platform::InputDevices& devices = *g_input.devices;
  AppLogWrite(SJIS("入力装置を見つけました\n"));
  if (!devices.OpenPad(index)) {
    AppLogWrite(SJIS("入力装置の取得に失敗しました\n"));
    return;
  }
  AppLogIndent();
  AppLogWriteFormat(SJIS("デバイスの登録名:%s"),
                    platform::Utf8ToCp932(devices.PadInstanceName(index)).c_str());
  AppLogWriteFormat(SJIS("デバイスの製品登録名:%s"),
                    platform::Utf8ToCp932(devices.PadProductName(index)).c_str());
  AppLogOutdent();
  for (PadSetupStep step :
       {PadSetupStep::kDataFormat, PadSetupStep::kCooperativeLevel, PadSetupStep::kXRange,
        PadSetupStep::kYRange, PadSetupStep::kXDeadZone, PadSetupStep::kYDeadZone}) {
    if (!devices.SetUpPad(index, step)) {
      devices.ClosePad(index);
      AppLogWrite(PadSetupFailure(step));
      return;
    }
  }
  devices.AcquirePad(index);
  g_input.pad_index[g_input.pad_count++] = index;
  AppLogWrite(SJIS("ジョイパッドの追加は正常に終了しました\n"));
}

void SetUpKeyboard() {
  platform::InputDevices& devices = *g_input.devices;
  AppLogWrite(SJIS("キーボードデバイスの初期化... "));
  if (!devices.CreateKeyboard()) FailKeyboard(SJIS("キーボードデバイスの取得に失敗しました"));
  g_input.keyboard = true;
  if (!devices.SetKeyboardFormat())
    FailKeyboard(SJIS("キーボードデバイスのデータ形式の設定に失敗しました"));
  if (!devices.SetKeyboardCooperativeLevel())
    FailKeyboard(SJIS("キーボードデバイスの協調レベルの設定に失敗しました"));
  if (devices.AcquireKeyboard() != DeviceResult::kOk &&
      devices.AcquireKeyboard() != DeviceResult::kOk)
    FailKeyboard(SJIS("キーボードデバイスの取得に失敗しました"));
}

// Both reads start alike: hold while inactive, and start the input when it is not started.
bool PrepareRead(int* result) {
  HoldWhileWindowInactive();
  if (!g_input.devices && !IsCloseRequested()) {
    *result = InitInput();
    return false;
  }
  return g_input.devices != nullptr;
}

}  // namespace

int InitInput() {
  if (g_input.devices) return 0;
  const bool f10 = g_input.f10;
  const bool f12 = g_input.f12;
  g_input = InputState{};
  g_input.f10 = f10;  // the flags belong to the window procedure, not to the devices
  g_input.f12 = f12;
  AppLogWrite(SJIS("DirectInput関係初期化処理\n"));
  AppLogIndent();
  AppLogWrite(SJIS("DirectInputオブジェクトの取得中... "));
  std::unique_ptr<platform::InputDevices> devices = TakeDevices();
  if (!devices->Create()) return AppLogWrite(SJIS("取得に失敗\n"));
  AppLogWrite(SJIS("成功\n"));
  AppLogIndent();
  AppLogWrite(SJIS("引き続き初期化処理... "));
  if (!devices->Initialise()) {
    AppLogWrite(SJIS("初期化に失敗\n"));
    devices->Release();
    return -1;
  }
  AppLogWrite(SJIS("初期化成功\n"));
  AppLogOutdent();
  g_input.devices = std::move(devices);
  platform::SdlWindow::Raise();
  PumpMessages();
  AppLogWrite(SJIS("ジョイパッドの初期化... \n"));
  const int attached = g_input.devices->PadCount();
  for (int index = 0; index < attached && g_input.pad_count != kMaxPads; ++index)
    RegisterPad(index);
  AppLogWrite(SJIS("ジョイパッドの初期化は正常に終了しました\n"));
  SetUpKeyboard();
  AppLogWrite(SJIS("初期化成功\n"));
  AppLogOutdent();
  AppLogWrite(SJIS("DirectInput 関連の初期化は正常に終了しました\n"));
  return 0;
}

int EndInput() {
  if (!g_input.devices) return 0;
  AppLogWrite(SJIS("DirectInput 関連の終了処理... 完了\n"));
  for (int n = 0; n < g_input.pad_count; ++n) {
    g_input.devices->ClosePad(g_input.pad_index[n]);
    g_input.pad_index[n] = -1;
  }
  g_input.pad_count = 0;
  if (g_input.keyboard) g_input.devices->CloseKeyboard();
  g_input.keyboard = false;
  g_input.devices->Release();
  g_input.devices.reset();
  return 0;
}

int ReadKeyboardState(uint8_t states[256]) {
  int result = 0;
  if (!PrepareRead(&result)) return result;
  platform::InputDevices& devices = *g_input.devices;
  uint8_t fresh[256];
  DeviceResult read = devices.ReadKeyboard(fresh);
  if (read == DeviceResult::kInputLost) {
    // The previous frame's keys stay when the keyboard cannot be had back.
    if (devices.AcquireKeyboard() != DeviceResult::kOk) return 0;
    read = devices.ReadKeyboard(fresh);
    if (read != DeviceResult::kOk) return 0;
  }
  if (read == DeviceResult::kOk) std::memcpy(states, fresh, 256);
  for (int k = 0; k < 256; ++k) states[k] = (states[k] & 0x80) ? 1 : 0;
  states[68] = g_input.f10 ? 1 : 0;
  states[88] = g_input.f12 ? 1 : 0;
  return 0;
}

int ReadPadState(int source) {
  // Both reads begin alike (hold while inactive, start the input when needed), before the pad
  // number is looked at.
  int result = 0;
  if (!PrepareRead(&result)) return result;
  const int n = (source & ~kPadKeyboardBit) - 1;
  if (n < -1 || n > 7) return 0;
  platform::InputDevices& devices = *g_input.devices;
  int word = 0;
  if (n >= 0 && n < g_input.pad_count) {
    const int index = g_input.pad_index[n];
    platform::PadReading pad;
    if (devices.ReadPad(index, &pad) == DeviceResult::kOk) {
      if (pad.x < 0) word |= 0x2;
      if (pad.x > 0) word |= 0x4;
      if (pad.y < 0) word |= 0x8;
      if (pad.y > 0) word |= 0x1;
      for (int k = 0; k < 24; ++k)
        if (pad.buttons[k] & 0x80) word |= 1 << (4 + k);
    } else {
      // Nothing from the pad this time; have it acquired for the next call.
      if (PumpMessages() != 0) return -1;
      if (devices.AcquirePad(index) == DeviceResult::kOk) {
        if (PumpMessages() != 0) return -1;
        devices.ReadPad(index, &pad);
      }
    }
  }
  if (source & kPadKeyboardBit) {
    uint8_t keys[256] = {};
    DeviceResult read = devices.ReadKeyboard(keys);
    if (read == DeviceResult::kInputLost && devices.AcquireKeyboard() == DeviceResult::kOk) {
      if (PumpMessages() != 0 || PumpMessages() != 0) return -1;
      read = devices.ReadKeyboard(keys);
    }
    if (read == DeviceResult::kOk)
      for (const KeyBit& key : kKeyBits)
        if (keys[key.code] & 0x80) word |= key.bit;
  }
  return word;
}

void SetF10Down() { g_input.f10 = true; }
void SetF10Up() { g_input.f10 = false; }
void SetF12Down() { g_input.f12 = true; }
void SetF12Up() { g_input.f12 = false; }

void SetInputDevicesForTesting(std::unique_ptr<platform::InputDevices> devices) {
  g_replacement = std::move(devices);
}

int RegisteredPadCount() { return g_input.pad_count; }

bool IsInputStarted() { return g_input.devices != nullptr; }

void ResetInput() {
  EndInput();
  g_input = InputState{};
  g_replacement.reset();
}

}  // namespace runtime
