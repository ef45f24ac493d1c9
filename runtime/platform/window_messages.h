// The messages of the main window, as the runtime's window procedure and message pump know them:
// platform events (focus, close, move, size, display change, keys, characters) become these,
// and the runtime posts some itself (close, quit, the key-flag messages).
#pragma once

#include <cstdint>

namespace platform {

enum class MessageKind : uint16_t {
  kNone,
  kCreate,
  kDestroy,
  kMove,      // lparam: client left (low 16 bits, signed) and top (high 16 bits, signed)
  kSize,      // wparam: 2 when maximised
  kActivate,  // wparam: 0 inactive, 1 active
  kClose,
  kSetCursor,
  kMouse,          // mouse moves and buttons
  kDisplayChange,  // wparam: colour depth; lparam: width (low word), height (high word)
  kKeyDown,        // wparam: virtual key (kVk*)
  kChar,           // wparam: the character byte
  kSysCommand,
  kImeMessage,
  kMoving,
  kMciNotify,
  kQuit,              // a thread message: the message loop ends
  kF10Flag = 0x046F,  // wparam 1: F10 down, else up
  kF12Flag = 0x0470,  // wparam 1: F12 down, else up
};

// Virtual keys the window procedure cares about.
enum VirtualKey : int64_t {
  kVkDelete = 0x2E,
  kVkLeft = 0x25,
  kVkUp = 0x26,
  kVkRight = 0x27,
  kVkDown = 0x28
};

struct WindowMessage {
  MessageKind kind = MessageKind::kNone;
  int64_t wparam = 0;
  int64_t lparam = 0;
};

}  // namespace platform
