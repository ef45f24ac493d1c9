// CP932 and UTF-8 on Windows, through the system's own code page 932 (the POSIX build uses
// iconv). One character at a time, so that an invalid sequence becomes '?' and the conversion
// steps over its first byte and goes on, exactly as the iconv version does.
#include <windows.h>

#include "runtime/platform/text_encoding.h"
#include "runtime/platform/wide_text.h"

namespace platform {
namespace {

constexpr UINT kCp932 = 932;

// The UTF-16 of one CP932 character of `size` bytes, or empty when it is not valid CP932.
std::wstring DecodeCp932Character(const char* bytes, int size) {
  wchar_t wide[2];
  const int length = MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes, size, wide, 2);
  return length > 0 ? std::wstring(wide, static_cast<size_t>(length)) : std::wstring();
}

// The length of the UTF-8 sequence at `at` when it is one well-formed character (shortest form,
// no surrogates, at most U+10FFFF), else 0; its code point in `code`.
size_t Utf8CharacterAt(std::string_view text, size_t at, char32_t* code) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  size_t length = 0;
  char32_t value = 0;
  if (lead < 0x80) {
    *code = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  const char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < shortest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return 0;
  *code = value;
  return length;
}

std::wstring Utf16Of(char32_t code) {
  if (code < 0x10000) return std::wstring(1, static_cast<wchar_t>(code));
  code -= 0x10000;
  return {static_cast<wchar_t>(0xD800 + (code >> 10)),
          static_cast<wchar_t>(0xDC00 + (code & 0x3FF))};
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932, bool* ok) {
  if (ok) *ok = true;
  std::wstring wide;
  for (size_t at = 0; at < cp932.size();) {
    const unsigned char byte = static_cast<unsigned char>(cp932[at]);
    if (byte < 0x80) {
      wide.push_back(static_cast<wchar_t>(byte));
      ++at;
      continue;
    }
    const int size = IsCp932LeadByte(byte) ? 2 : 1;
    const std::wstring character =
        at + size <= cp932.size() ? DecodeCp932Character(cp932.data() + at, size) : std::wstring();
    if (character.empty()) {
      if (ok) *ok = false;
      wide.push_back(L'?');
      ++at;
    } else {
      wide += character;
      at += static_cast<size_t>(size);
    }
  }
  return Utf8FromWide(wide);
}

std::string Utf8ToCp932(std::string_view utf8, bool* ok) {
  if (ok) *ok = true;
  std::string cp932;
  cp932.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    char32_t code = 0;
    const size_t length = Utf8CharacterAt(utf8, at, &code);
    if (length == 0) {
      if (ok) *ok = false;
      cp932.push_back('?');
      ++at;
      continue;
    }
    at += length;
    if (code < 0x80) {
      cp932.push_back(static_cast<char>(code));
      continue;
    }
    const std::wstring wide = Utf16Of(code);
    char bytes[8];
    BOOL defaulted = FALSE;
    const int written = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(),
                                            static_cast<int>(wide.size()), bytes, sizeof bytes,
                                            nullptr, &defaulted);
    if (written <= 0 || defaulted) {
      if (ok) *ok = false;
      cp932.push_back('?');
    } else {
      cp932.append(bytes, static_cast<size_t>(written));
    }
  }
  return cp932;
}

}  // namespace platform
