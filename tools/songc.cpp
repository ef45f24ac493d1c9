// songc: compiles a text score (the language described in tools/assets/score_compiler.h) into an
// Org song file. Usage: songc SCORE OUT.org. A score with a value the format cannot hold is
// refused with its line number; the song is written through the safe output path, and never
// over the score itself.
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "org/org_writer.h"
#include "runtime/platform/native_file.h"
#include "runtime/platform/program_arguments.h"
#include "tools/assets/score_compiler.h"
#include "tools/cli/arguments.h"
#include "tools/output/safe_output.h"

namespace {

constexpr const char* kUsage =
    "usage: songc SCORE OUT.org\n"
    "Compiles a text score into an Org song (OUT.org \"-\": standard output). The score language\n"
    "is described in songc(1): man songc (in the source tree: man -l packaging/man/songc.1).\n";

int Usage(const std::string& problem) { return tools::UsageError("songc", problem); }

}  // namespace

int main(int argc, char** argv) {
  // The arguments as UTF-8 (on Windows from the wide command line).
  platform::ProgramArguments utf8_arguments(argc, argv);
  argc = utf8_arguments.argc();
  argv = utf8_arguments.argv();
  std::vector<std::string> files;
  tools::ArgumentReader args(argc, argv);
  while (!args.Done()) {
    const std::string arg = args.Next();
    if (!args.IsOption(arg)) {
      files.push_back(arg);
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      return Usage("unknown option " + arg);
    }
  }
  if (files.size() != 2) return Usage("a score and an output, please");
  const std::string score_path = files[0];
  const std::string out_path = files[1];
  if (!tools::InputOverwrittenBy(out_path, {score_path}).empty()) {
    std::fprintf(stderr, "songc: %s is the score itself: refusing to overwrite it\n",
                 out_path.c_str());
    return 2;
  }
  std::ifstream in(platform::NativePath(score_path), std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "songc: cannot read %s\n",
                 tools::DescribeFileError(score_path, errno).c_str());
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  assets::CompiledScore score;
  std::string error;
  if (!assets::CompileScore(text.str(), &score, &error)) {
    std::fprintf(stderr, "songc: %s: %s\n", score_path.c_str(), error.c_str());
    return 1;
  }
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(score.song);
  tools::SafeOutput out;
  bool written = out.Open(out_path, &error);
  if (written) {
    out.Write(bytes.data(), bytes.size());  // a failed write is reported by the commit
    written = out.Commit(&error);
  }
  if (!written) {
    std::fprintf(stderr, "songc: cannot write %s\n", error.c_str());
    return 1;
  }
  return 0;
}
