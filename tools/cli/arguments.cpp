#include "tools/cli/arguments.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tools {
namespace {

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

bool ParseDecimal(const std::string& text, double low, double high, double* value) {
  const size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  const bool shaped = (AllDigits(whole) || (whole.empty() && !fraction.empty())) &&
                      (fraction.empty() || AllDigits(fraction));
  if (!shaped) return false;
  *value = std::strtod(text.c_str(), nullptr);
  return *value >= low && *value <= high;
}

bool ParseWholeNumber(const std::string& text, long long low, long long high, long long* value) {
  if (!AllDigits(text) || text.size() > 18) return false;
  *value = std::strtoll(text.c_str(), nullptr, 10);
  return *value >= low && *value <= high;
}

bool ParseTrackList(const std::string& text, unsigned* mask) {
  unsigned result = 0;
  size_t at = 0;
  while (at <= text.size()) {
    const size_t comma = std::min(text.find(',', at), text.size());
    const std::string part = text.substr(at, comma - at);
    const size_t dash = part.find('-');
    long long first = 0;
    long long last = 0;
    if (!ParseWholeNumber(part.substr(0, dash), 0, 15, &first)) return false;
    last = first;
    if (dash != std::string::npos && !ParseWholeNumber(part.substr(dash + 1), first, 15, &last))
      return false;
    for (long long t = first; t <= last; ++t) result |= 1u << t;
    at = comma + 1;
  }
  *mask |= result;
  return result != 0;
}

int UsageError(const char* tool, const std::string& problem) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help' for the options.\n", tool, problem.c_str(), tool);
  return 2;
}

bool ArgumentReader::Value(const std::string& option, std::string* value) {
  if (at_ >= argc_) {
    problem_ = option + " needs a value";
    return false;
  }
  *value = argv_[at_++];
  return true;
}

}  // namespace tools
