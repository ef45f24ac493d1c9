// Keys pressed in the terminal a tool runs in, read without waiting and without echo: the arrow
// keys and Home, as terminals send them (escape sequences), for orgplay's seeking. The terminal
// is put in non-canonical mode while a TerminalKeys lives and restored after; where standard
// input is not a terminal nothing is read. On Windows the console's key events are read instead
// (terminal_keys_win32.cpp). Main thread.
#pragma once

#ifndef _WIN32
#include <termios.h>
#endif

#include <string>

namespace tools {

enum class TerminalKey { kNone, kLeft, kRight, kHome, kOther };

// Takes the first key from the front of `pending` (bytes read from a terminal): its sequence is
// removed; an incomplete sequence stays for the next read (kNone).
TerminalKey TakeTerminalKey(std::string* pending);

class TerminalKeys {
 public:
  TerminalKeys();
  ~TerminalKeys();
  TerminalKeys(const TerminalKeys&) = delete;
  TerminalKeys& operator=(const TerminalKeys&) = delete;

  bool active() const { return active_; }
  // The next key pressed, or kNone when none waits.
  TerminalKey Read();

 private:
  bool active_ = false;
#ifdef _WIN32
  unsigned long saved_mode_ = 0;  // the console input mode
#else
  termios saved_{};
#endif
  std::string pending_;
};

}  // namespace tools
