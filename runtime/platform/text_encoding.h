// Conversion between the system's text encoding, Shift-JIS (code page 932), and UTF-8, which the
// window title, message boxes, file names and terminals of this platform want. Called at the
// edges: wherever system text leaves for the platform or platform text comes in.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Converts CP932 text to UTF-8. A byte sequence that is not valid CP932 becomes '?', so the
// result is always usable as text; `ok` (when given) is cleared when that happened.
std::string Cp932ToUtf8(std::string_view cp932, bool* ok = nullptr);

// Converts UTF-8 text to CP932. A character that CP932 cannot hold (or invalid UTF-8) becomes
// '?'; `ok` (when given) is cleared when that happened.
std::string Utf8ToCp932(std::string_view utf8, bool* ok = nullptr);

// Text from a file or a command line made safe to print on a terminal or in a log line: valid
// UTF-8 characters stay as they are; control bytes (NUL, escape, ...) and bytes that are not
// valid UTF-8 become "\xNN"; text longer than `max_bytes` is cut at a character and ends with
// "... (N bytes)". The result never holds a NUL or a terminal's escape sequence.
std::string PrintableText(std::string_view text, size_t max_bytes = 256);

// The same for CP932 text (a playlist's path or title): each valid character is shown in UTF-8,
// each byte that is not valid CP932 as "\xNN", never as the raw byte or a bare '?'.
std::string PrintableCp932(std::string_view cp932, size_t max_bytes = 256);

// True when `byte` starts a two-byte CP932 character (the byte after it is its second half,
// which may look like an ASCII character such as '\\').
constexpr bool IsCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace platform

// A UTF-8 string literal from our sources as system text (CP932), converted once where it is used
// and kept for the life of the process.
#define SJIS(literal)                                                      \
  ([]() -> const char* {                                                   \
    static const std::string converted = ::platform::Utf8ToCp932(literal); \
    return converted.c_str();                                              \
  }())
