#include "runtime/core/runtime_startup.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/app_log.h"
#include "runtime/core/display_link.h"
#include "runtime/core/input.h"
#include "runtime/core/main_window.h"
#include "runtime/core/random.h"
#include "runtime/core/runtime_state.h"
#include "runtime/core/system_report.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/instance_lock.h"
#include "runtime/platform/native_file.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/sdl_window.h"
#include "runtime/platform/system_probe.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/sound/sound_device.h"

namespace runtime {
namespace {

constexpr uint32_t kMinimumTimerPeriodMs = 1;
constexpr uint32_t kSettlingPumpMs = 200;
ProcessExit g_exit = nullptr;

[[noreturn]] void EndProcess(int code) {
  if (g_exit) g_exit(code);
  std::exit(code);
}

void QueryCounter() {
  RuntimeState& state = GetRuntimeState();
  state.PerformanceFrequency = platform::CounterFrequency();
  state.UsePerformanceCounter = state.PerformanceFrequency != 0 ? 1 : 0;
}

int InitialiseCom() {
  RuntimeState& state = GetRuntimeState();
  if (state.ComInitialised == 1) return -1;
  AppLogWrite(SJIS("ＣＯＭの初期化... "));
  // There is no COM here; the stand-in always succeeds and keeps the log lines.
  AppLogWrite(SJIS("成功しました\n"));
  state.ComInitialised = 1;
  return 0;
}

void LogMemory() {
  uint64_t total = 0;
  uint64_t available = 0;
  platform::ProbeMemory(&total, &available);
  // The full 64-bit counts: machines with more than 4 GB would otherwise show a wrapped figure.
  AppLogWriteFormat(SJIS("メモリ総量:%.2fMB  空きメモリ領域:%.2fMB "), total / 1048576.0,
                    available / 1048576.0);
}

int SetUpWindow() {
  RuntimeState& state = GetRuntimeState();
  ResetWindowStateKeepingSettings();
  state.PerformanceFrequency = 0;
  state.UsePerformanceCounter = 0;
  SystemFindings& findings = GetSystemFindings();
  findings.MmxUsable = 0;
  findings.TscAvailable = 0;
  findings.TscTicksPerHalfSecond = 0;

  AppLogWrite(SJIS("ソフトの２重起動検査... "));
  const platform::InstanceClaim claim = platform::ClaimInstanceLock(kWindowClassName);
  if (claim == platform::InstanceClaim::kHeldByAnother) {
    AppLogWrite(SJIS("２重起動されています、ソフトを終了します\n"));
    EndProcess(0);
  }
  if (claim == platform::InstanceClaim::kUnavailable) {
    // Without the lock a second copy cannot be found; running twice is better than never.
    std::fprintf(stderr, "cannot check for another running copy (%s); starting anyway\n",
                 std::strerror(errno));
  }
  AppLogWrite(SJIS("２重起動はされていませんでした\n"));
  LogMemory();
  AppLogWrite(SJIS("ソフトの実行優先レベルを上げました\n"));  // the priority is left as it is
  if (CreateMainWindow() != 0) return -1;
  WindowState& window = GetWindowState();
  window.close_requested = 0;
  window.window_destroyed = 0;
  window.active = 1;
  if (window.window_mode == 0) {
    AppLogWrite(SJIS("カーソルを不可視にしました\n"));
    platform::SdlWindow::ShowCursor(false);
  }
  platform::SdlWindow::DisableInputMethod();
  AppLogWrite(SJIS("ＩＭＥを無効にしました\n"));
  if (window.window_mode == 1) {
    const platform::ScreenRect client = platform::SdlWindow::ClientRect();
    window.client = {client.left, client.top, client.right, client.bottom};
  }
  state.RuntimeEnding = 0;
  QueryCounter();
  state.MinimumTimerPeriod = kMinimumTimerPeriodMs;
  if (state.UsePerformanceCounter == 1) TimerPrecisionTest();
  SeedRandom(platform::ClockMs());
  RegenerateRandom();
  const uint32_t settle_start = platform::ClockMs();
  while (platform::ClockMs() - settle_start < kSettlingPumpMs) {
    PumpMessages();
    platform::SleepMs(1);
  }
  FinishWindowSetUp();
  return 0;
}

void ResetTextInput() {
  AppLogWrite(SJIS("文字コードバッファの初期化を行います... "));
  // The text-input display's seven colours; no input slot is ever opened, so they stay unused.
  static constexpr int kColours[7][3] = {{255, 255, 255}, {255, 255, 0},   {255, 255, 255},
                                         {0, 255, 255},   {255, 255, 255}, {255, 50, 50},
                                         {255, 255, 20}};
  for (const auto& rgb : kColours) MapRgbLinked(rgb[0], rgb[1], rgb[2]);
  AppLogWrite(SJIS("完了しました\n"));
}

// Shut-down steps 1 to 10.
void ShutdownSteps() {
  RuntimeState& state = GetRuntimeState();
  WindowState& window = GetWindowState();
  state.RuntimeEnding = 1;
  StopMidi();
  EndDisplayDeviceLinked();
  EndInput();
  CloseSoundDevice();
  const bool had_window = window.window || window.window_destroyed;
  if (window.window && !window.window_destroyed) {
    if (window.close_requested == 0) {
      window.close_requested = 1;
      PostWindowMessage(platform::MessageKind::kClose);
    }
    while (PumpMessages() == 0) {
    }
    UnregisterWindowClass();
  }
  ShutdownCom();
  state.RuntimeInitialised = 0;
  if (had_window) {
    while (PumpMessages() == 0 && window.quit == 0) {
    }
  }
  if (!state.StartupDirectory.empty() && !platform::ChangeDirectory(state.StartupDirectory)) {
    // The start-up directory went away; there is nowhere better to go.
  }
}

}  // namespace

int RuntimeStartup() {
  RuntimeState& state = GetRuntimeState();
  state.StartupDirectory = platform::CurrentDirectory();
  PrepareAppLog();
  QueryCounter();
  ReportSystemInfo();
  if (InitialiseCom() != 0 || SetUpWindow() != 0 || InitInput() != 0) {
    RuntimeShutdown();
    return -1;
  }
  OpenSoundDevice();  // without sound the runtime runs silent
  if (StartDisplayDeviceLinked() != 0) {
    RuntimeShutdown();
    return -1;
  }
  ResetTextInput();
  state.RuntimeInitialised = 1;
  SetVSyncWaitLinked(1);
  return 0;
}

int RuntimeShutdown() {
  ShutdownSteps();
  return 0;
}

void FatalErrorExit(const char* message) {
  AppLogWrite(message);
  AppLogWrite("\n");
  ShutdownSteps();
  WindowState& window = GetWindowState();
  while (window.window && window.quit == 0 && PumpMessages() == 0) {
  }
  AppLogWrite(SJIS("ソフトをエラー終了します"));
  EndProcess(-1);
}

void FatalErrorExitFormat(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  FatalErrorExit(buffer);
}

int ShutdownCom() {
  RuntimeState& state = GetRuntimeState();
  if (state.ComInitialised != 1) return -1;
  AppLogWrite(SJIS("ＣＯＭを終了... 完了\n"));
  state.ComInitialised = 0;
  return 0;
}

void TimerPrecisionTest() {
  RuntimeState& state = GetRuntimeState();
  AppLogWrite(SJIS("タイマーの精度を検査します\n"));
  int ms_changes = 0;
  int counter_changes = 0;
  uint32_t last_ms = platform::ClockMs();
  int64_t last_counter = platform::CounterTicks();
  if (PumpMessages() == 0) {
    while (ms_changes < 60 && counter_changes < 60) {
      const int64_t counter = platform::CounterTicks();
      if (counter != last_counter) {
        ++counter_changes;
        last_counter = counter;
      }
      const uint32_t ms = platform::ClockMs();
      if (ms != last_ms) {
        ++ms_changes;
        last_ms = ms;
      }
      if (PumpMessages() != 0) break;
    }
  }
  AppLogWriteFormat(
      SJIS("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d"),
      ms_changes, counter_changes);
  if (ms_changes > counter_changes) {
    AppLogWriteFormat(SJIS("マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms "),
                      static_cast<int>(state.MinimumTimerPeriod));
    state.UsePerformanceCounter = 0;
  } else {
    AppLogWriteFormat(SJIS("パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz "),
                      static_cast<double>(state.PerformanceFrequency) * 0.001);
  }
}

void SetProcessExitForTesting(ProcessExit exit_function) { g_exit = exit_function; }

}  // namespace runtime
