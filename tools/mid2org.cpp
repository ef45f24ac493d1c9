// mid2org: imports a Standard MIDI File as an Org song (see tools/import/midi_import.h for how
// tempo, loop, channels, polyphony, drums and programs map). Usage:
//   mid2org SONG.mid OUT.org [--steps-per-beat N] [--report]
// The song is written through the safe output path, never over the MIDI file itself; --report
// prints what the import changed (notes moved to the grid, dropped, tempo changes ignored).
#include <cstdio>
#include <string>
#include <vector>

#include "org/org_writer.h"
#include "runtime/platform/file_reader.h"
#include "tools/cli/arguments.h"
#include "tools/import/midi_import.h"
#include "tools/output/safe_output.h"

namespace {

constexpr const char* kUsage =
    "usage: mid2org SONG.mid OUT.org [--steps-per-beat N] [--report]\n"
    "Imports a Standard MIDI File as an Org song: N steps a quarter note (1 to 32, default 4),\n"
    "the step length from the file's first tempo, melody channels over the eight melody\n"
    "tracks, channel 10 onto the drum tracks. --report prints what the import changed.\n";

constexpr size_t kLargestMidi = 64u << 20;

int Usage(const std::string& problem) { return tools::UsageError("mid2org", problem); }

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  long long steps_per_beat = 4;
  bool report_wanted = false;
  tools::ArgumentReader args(argc, argv);
  while (!args.Done()) {
    const std::string arg = args.Next();
    std::string value;
    if (!args.IsOption(arg)) {
      files.push_back(arg);
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--report") {
      report_wanted = true;
    } else if (arg == "--steps-per-beat") {
      if (!args.Value(arg, &value)) return Usage(args.problem());
      if (!tools::ParseWholeNumber(value, 1, 32, &steps_per_beat))
        return Usage("--steps-per-beat needs a whole number from 1 to 32");
    } else {
      return Usage("unknown option " + arg);
    }
  }
  if (files.size() != 2) return Usage("a MIDI file and an output, please");
  if (!tools::InputOverwrittenBy(files[1], {files[0]}).empty()) {
    std::fprintf(stderr, "mid2org: %s is the MIDI file itself: refusing to overwrite it\n",
                 files[1].c_str());
    return 2;
  }
  const platform::FileContents midi = platform::ReadFileUpTo(files[0], kLargestMidi);
  if (!midi.ok()) {
    if (midi.error)
      std::fprintf(stderr, "mid2org: cannot read %s\n",
                   tools::DescribeFileError(files[0], midi.error).c_str());
    else
      std::fprintf(stderr, "mid2org: %s: %s\n", files[0].c_str(), midi.why.c_str());
    return 1;
  }
  if (midi.cut_short) {
    std::fprintf(stderr, "mid2org: %s: larger than 64 MiB\n", files[0].c_str());
    return 1;
  }
  org::ParsedSong song;
  importing::MidiImportReport report;
  std::string error;
  if (!importing::ImportMidi(midi.bytes.data(), midi.bytes.size(), static_cast<int>(steps_per_beat),
                             &song, &report, &error)) {
    std::fprintf(stderr, "mid2org: %s: %s\n", files[0].c_str(), error.c_str());
    return 1;
  }
  if (report_wanted)
    for (const std::string& line : report.lines) std::printf("%s\n", line.c_str());
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  tools::SafeOutput out;
  bool written = out.Open(files[1], &error);
  if (written) {
    out.Write(bytes.data(), bytes.size());
    written = out.Commit(&error);
  }
  if (!written) {
    std::fprintf(stderr, "mid2org: cannot write %s\n", error.c_str());
    return 1;
  }
  return 0;
}
