// Runtime start-up and shut-down: RuntimeStartup brings up, in a fixed order, the log, the
// machine report, COM (a stand-in that keeps its log lines), the main window, keyboard input, the
// sound device and the display device; RuntimeShutdown takes them down and restores the working
// directory; FatalErrorExit logs, shuts down and ends the process with exit code -1.
// Main thread only.
#pragma once

namespace runtime {

// 0 when the runtime is up; -1 after a failure (everything started is taken down again). A
// second running copy ends the process here with exit code 0.
int RuntimeStartup();
// Takes everything down; safe after a failed start-up. Returns 0.
int RuntimeShutdown();
[[noreturn]] void FatalErrorExit(const char* message);
[[noreturn]] void FatalErrorExitFormat(const char* format, ...)
    __attribute__((format(printf, 1, 2)));
int ShutdownCom();

// The timer precision test: picks the fine counter or the millisecond clock. Start-up runs it.
void TimerPrecisionTest();

// Replaces how the process ends on a fatal error (tests); null restores std::exit.
using ProcessExit = void (*)(int code);
void SetProcessExitForTesting(ProcessExit exit_function);

}  // namespace runtime
