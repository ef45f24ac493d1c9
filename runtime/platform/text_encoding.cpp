#include "runtime/platform/text_encoding.h"

#include <iconv.h>

#include <cerrno>

namespace platform {
namespace {

// Runs one iconv conversion over the whole input, replacing each unconvertible sequence with '?'
// and skipping the input byte that caused it.
std::string Convert(const char* to, const char* from, std::string_view input, bool* ok) {
  if (ok) *ok = true;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    if (ok) *ok = false;
    return std::string(input);
  }
  std::string output;
  output.reserve(input.size() * 3 / 2 + 4);
  char* in = const_cast<char*>(input.data());
  size_t in_left = input.size();
  char chunk[256];
  while (true) {
    char* out = chunk;
    size_t out_left = sizeof chunk;
    size_t result = in_left > 0 ? iconv(cd, &in, &in_left, &out, &out_left)
                                : iconv(cd, nullptr, nullptr, &out, &out_left);
    output.append(chunk, static_cast<size_t>(out - chunk));
    if (result != static_cast<size_t>(-1)) {
      if (in_left == 0) break;
      continue;
    }
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (a truncated sequence at the end): mark it and step over one byte.
    if (ok) *ok = false;
    output.push_back('?');
    ++in;
    --in_left;
    if (in_left == 0) break;
  }
  iconv_close(cd);
  return output;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932, bool* ok) {
  return Convert("UTF-8", "CP932", cp932, ok);
}

std::string Utf8ToCp932(std::string_view utf8, bool* ok) {
  return Convert("CP932", "UTF-8", utf8, ok);
}

}  // namespace platform
