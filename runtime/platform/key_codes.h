// The keyboard in the direct-input scan-code numbering (0..255) that the runtime's key states use:
// a complete table from SDL's scancodes (letters, digits, punctuation, function keys, cursor and
// editing keys, the numeric pad, modifiers, Japanese and media keys).
#pragma once

#include <SDL.h>

#include <cstdint>

namespace platform {

// The key code of an SDL scancode, or 0 when the key has none.
uint8_t KeyCodeOfScancode(SDL_Scancode scancode);

}  // namespace platform
