// Text made safe to print (PrintableText, PrintableCp932 in text_encoding.h): the same on every
// system, as it needs only the CP932 conversion each system's text_encoding provides.
#include <string>
#include <string_view>

#include "runtime/platform/text_encoding.h"

namespace platform {
namespace {

void AppendEscapedByte(unsigned char byte, std::string* out) {
  static const char kHex[] = "0123456789ABCDEF";
  *out += "\\x";
  *out += kHex[byte >> 4];
  *out += kHex[byte & 15];
}

// The length of the valid UTF-8 character at the start of `text` that is not a control character
// (C0, DEL, or C1 as U+0080..U+009F), or 0.
size_t PrintableUtf8Length(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead >= 0x20 && lead < 0x7F) return 1;
  const size_t width = lead >= 0xC2 && lead <= 0xDF   ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
  if (width == 0 || text.size() < width) return 0;
  for (size_t i = 1; i < width; ++i)
    if ((byte(i) & 0xC0) != 0x80) return 0;
  if (lead == 0xC2 && byte(1) < 0xA0) return 0;   // C1 controls
  if (lead == 0xE0 && byte(1) < 0xA0) return 0;   // overlong
  if (lead == 0xED && byte(1) >= 0xA0) return 0;  // surrogates
  if (lead == 0xF0 && byte(1) < 0x90) return 0;   // overlong
  if (lead == 0xF4 && byte(1) >= 0x90) return 0;  // past U+10FFFF
  return width;
}

// Appends "... (N bytes)" when `shown` of `total` input bytes made it into the output.
void EndCut(size_t shown, size_t total, std::string* out) {
  if (shown < total) *out += "... (" + std::to_string(total) + " bytes)";
}

}  // namespace

std::string PrintableText(std::string_view text, size_t max_bytes) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    const size_t width = PrintableUtf8Length(text.substr(at));
    const size_t shown = width ? width : 4;
    if (out.size() + shown > max_bytes) break;
    if (width) {
      out.append(text.substr(at, width));
      at += width;
    } else {
      AppendEscapedByte(static_cast<unsigned char>(text[at++]), &out);
    }
  }
  EndCut(at, text.size(), &out);
  return out;
}

std::string PrintableCp932(std::string_view cp932, size_t max_bytes) {
  std::string out;
  size_t at = 0;
  while (at < cp932.size()) {
    const unsigned char lead = static_cast<unsigned char>(cp932[at]);
    const size_t width = IsCp932LeadByte(lead) && at + 1 < cp932.size() ? 2 : 1;
    bool ok = lead >= 0x20 && lead != 0x7F;
    const std::string character = ok ? Cp932ToUtf8(cp932.substr(at, width), &ok) : std::string();
    const size_t shown = ok ? character.size() : 4;
    if (out.size() + shown > max_bytes) break;
    if (ok) {
      out += character;
      at += width;
    } else {  // the byte alone; what follows it is looked at afresh
      AppendEscapedByte(lead, &out);
      ++at;
    }
  }
  EndCut(at, cp932.size(), &out);
  return out;
}

}  // namespace platform
