// Keys pressed in the terminal a tool runs in, read without waiting and without echo: the arrow
// keys and Home, as terminals send them (escape sequences), for orgplay's seeking. The terminal
// is put in non-canonical mode while a TerminalKeys lives and restored after; where standard
// input is not a terminal nothing is read. Main thread.
#pragma once

#include <termios.h>

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
  termios saved_{};
  std::string pending_;
};

}  // namespace tools
