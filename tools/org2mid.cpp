// org2mid: writes an Org song's notes as a Standard MIDI File (type 1) to take into a
// sequencer: tempo, meter, the loop marked, one track per Org track (see
// tools/export/midi_export.h for how notes, volumes, pans, waveforms, finetune and drums map).
// Usage: org2mid SONG.org OUT.mid [--loops N]
#include <cstdio>
#include <memory>
#include <string>

#include "runtime/platform/program_arguments.h"
#include "runtime/platform/text_encoding.h"
#include "tools/cli/arguments.h"
#include "tools/export/midi_export.h"
#include "tools/output/safe_output.h"
#include "tools/render/song_inputs.h"

namespace {

constexpr const char* kUsage =
    "usage: org2mid SONG.org OUT.mid [--loops N]\n"
    "Writes the song's notes as a Standard MIDI File: the intro and N passes of the loop\n"
    "(default 2, as org2wav renders), the loop marked with \"loopStart\"/\"loopEnd\" markers\n"
    "and controller 111.\n";

int Usage(const std::string& problem) { return tools::UsageError("org2mid", problem); }

}  // namespace

int main(int argc, char** argv) {
  // The arguments as UTF-8 (on Windows from the wide command line).
  platform::ProgramArguments utf8_arguments(argc, argv);
  argc = utf8_arguments.argc();
  argv = utf8_arguments.argv();
  std::vector<std::string> files;
  long long loops = 2;  // the intro and two passes, as org2wav renders
  tools::ArgumentReader args(argc, argv);
  while (!args.Done()) {
    const std::string arg = args.Next();
    std::string value;
    if (!args.IsOption(arg)) {
      files.push_back(arg);
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--loops") {
      if (!args.Value(arg, &value)) return Usage(args.problem());
      if (!tools::ParseWholeNumber(value, 1, 1000, &loops))
        return Usage("--loops needs a whole number from 1 to 1000");
    } else {
      return Usage("unknown option " + arg);
    }
  }
  if (files.size() != 2) return Usage("a song and an output, please");
  if (!tools::InputOverwrittenBy(files[1], {files[0]}).empty()) {
    std::fprintf(stderr, "org2mid: %s is the song itself: refusing to overwrite it\n",
                 files[1].c_str());
    return 2;
  }
  tools::InstallSignalCleanup();
  auto song = std::make_unique<org::ParsedSong>();
  std::string why;
  if (!render::ReadSongFile(files[0], song.get(), &why)) {
    std::fprintf(stderr, "org2mid: %s: %s\n", platform::PrintableText(files[0]).c_str(),
                 why.c_str());
    return 1;
  }
  const std::vector<uint8_t> midi = exporting::SongToMidi(*song, static_cast<int>(loops));
  tools::SafeOutput out;
  std::string error;
  bool written = out.Open(files[1], &error);
  if (written) {
    out.Write(midi.data(), midi.size());
    written = out.Commit(&error);
  }
  if (!written) {
    std::fprintf(stderr, "org2mid: cannot write %s\n", error.c_str());
    return 1;
  }
  return 0;
}
