#include "tools/cli/terminal_keys.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tools {

TerminalKey TakeTerminalKey(std::string* pending) {
  if (pending->empty()) return TerminalKey::kNone;
  if ((*pending)[0] != '\x1b') {
    pending->erase(0, 1);
    return TerminalKey::kOther;
  }
  // CSI (ESC [) or SS3 (ESC O) followed by a final letter, or ESC [ digits ~.
  if (pending->size() < 3) return TerminalKey::kNone;
  const char kind = (*pending)[1];
  if (kind != '[' && kind != 'O') {
    pending->erase(0, 1);
    return TerminalKey::kOther;
  }
  size_t end = 2;
  while (end < pending->size() && (*pending)[end] >= '0' && (*pending)[end] <= '9') ++end;
  if (end >= pending->size()) return TerminalKey::kNone;
  const std::string sequence = pending->substr(0, end + 1);
  pending->erase(0, end + 1);
  if (sequence == "\x1b[D" || sequence == "\x1bOD") return TerminalKey::kLeft;
  if (sequence == "\x1b[C" || sequence == "\x1bOC") return TerminalKey::kRight;
  if (sequence == "\x1b[H" || sequence == "\x1bOH" || sequence == "\x1b[1~" ||
      sequence == "\x1b[7~")
    return TerminalKey::kHome;
  return TerminalKey::kOther;
}

#ifndef _WIN32
TerminalKeys::TerminalKeys() {
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
  termios raw = saved_;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 0;  // a read returns at once, with what there is
  raw.c_cc[VTIME] = 0;
  active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

TerminalKeys::~TerminalKeys() {
  if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
}

TerminalKey TerminalKeys::Read() {
  if (!active_) return TerminalKey::kNone;
  char bytes[64];
  const ssize_t got = read(STDIN_FILENO, bytes, sizeof bytes);
  if (got > 0) pending_.append(bytes, static_cast<size_t>(got));
  return TakeTerminalKey(&pending_);
}

#endif

}  // namespace tools
