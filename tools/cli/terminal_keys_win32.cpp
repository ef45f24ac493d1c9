// The console's keys on Windows: key-down events of the arrow keys and Home, read without
// waiting, with the console's line input and echo off while a TerminalKeys lives.
#include <windows.h>

#include "tools/cli/terminal_keys.h"

namespace tools {

TerminalKeys::TerminalKeys() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) return;
  saved_mode_ = mode;
  active_ = SetConsoleMode(input, mode & ~(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT)) != 0;
}

TerminalKeys::~TerminalKeys() {
  if (active_) SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), saved_mode_);
}

TerminalKey TerminalKeys::Read() {
  if (!active_) return TerminalKey::kNone;
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD waiting = 0;
  while (GetNumberOfConsoleInputEvents(input, &waiting) && waiting > 0) {
    INPUT_RECORD record{};
    DWORD got = 0;
    if (!ReadConsoleInputW(input, &record, 1, &got) || got == 0) break;
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
    switch (record.Event.KeyEvent.wVirtualKeyCode) {
      case VK_LEFT:
        return TerminalKey::kLeft;
      case VK_RIGHT:
        return TerminalKey::kRight;
      case VK_HOME:
        return TerminalKey::kHome;
      case VK_SHIFT:
      case VK_CONTROL:
      case VK_MENU:
        continue;  // a modifier alone is no key
      default:
        return TerminalKey::kOther;
    }
  }
  return TerminalKey::kNone;
}

}  // namespace tools
