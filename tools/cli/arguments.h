// Reading the command lines of our tools the same way everywhere: numbers are plain decimals
// (no hexadecimal, no exponent, no "nan"), checked against their range where they are read, and
// an option that lacks its value says so by name. Used by org2wav, orgplay and songc.
#pragma once

#include <string>
#include <vector>

namespace tools {

// A plain decimal ("10", "2.5", ".5") within [low, high].
bool ParseDecimal(const std::string& text, double low, double high, double* value);
// Digits only, within [low, high].
bool ParseWholeNumber(const std::string& text, long long low, long long high, long long* value);
// Track numbers 0-15 as a list with ranges ("0,3,8-10") into a bit mask.
bool ParseTrackList(const std::string& text, unsigned* mask);

// A usage error as every tool says it: one line naming the problem and a hint to --help (not the
// whole help) on standard error. Returns 2, the exit status of bad usage.
int UsageError(const char* tool, const std::string& problem);

// Walks argv. `Value` hands out the value of the option just read, or records that it is missing.
// "--" ends the options: every argument after it is a file, even one that starts with '-'.
class ArgumentReader {
 public:
  ArgumentReader(int argc, char** argv) : argc_(argc), argv_(argv) {}
  bool Done() {
    if (!options_ended_ && at_ < argc_ && std::string(argv_[at_]) == "--") {
      options_ended_ = true;
      ++at_;
    }
    return at_ >= argc_;
  }
  std::string Next() { return argv_[at_++]; }
  // True once "--" was read: what comes is a file, whatever it looks like.
  bool options_ended() const { return options_ended_; }
  // An option to read as one: it starts with '-' (and is not "-" alone) before any "--".
  bool IsOption(const std::string& arg) const {
    return !options_ended_ && arg.size() > 1 && arg[0] == '-';
  }
  // The option's value; false (and the problem "OPTION needs a value") when none follows.
  bool Value(const std::string& option, std::string* value);
  const std::string& problem() const { return problem_; }

 private:
  int argc_;
  char** argv_;
  int at_ = 1;
  bool options_ended_ = false;
  std::string problem_;
};

}  // namespace tools
