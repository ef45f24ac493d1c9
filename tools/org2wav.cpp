// org2wav: renders an Org song to a 16-bit stereo WAV file through the jukebox's own engine and
// sound device, offline. Run with --help for the options. Everything it writes goes through the
// safe output path (tools/output/safe_output.h); what it cannot do it refuses before any work.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "runtime/platform/data_path.h"
#include "tools/cli/arguments.h"
#include "tools/cli/progress_bar.h"
#include "tools/default_bank.h"
#include "tools/output/safe_output.h"
#include "tools/render/offline_render.h"
#include "tools/render/song_info.h"
#include "tools/render/song_inputs.h"
#include "tools/render/wav_writer.h"

namespace {

constexpr const char* kUsage =
    "usage: org2wav [options] SONG.org OUT.wav\n"
    "       org2wav --info [--json] SONG.org\n"
    "Renders an Org song to a 16-bit stereo WAV file (OUT.wav \"-\": standard output).\n"
    "  --bank FILE        waveform bank (default: Org/Wave100.dat here, else the shipped one)\n"
    "  --drums DIR        folder holding the 28 drum files (default: the song's Org/ folder,\n"
    "                     else the shipped drums)\n"
    "  --loops N          play to the loop end, then the loop N-1 more times (default 2)\n"
    "  --seconds S        render S seconds instead\n"
    "  --fade S           fade out linearly over S seconds after the last loop (default 0)\n"
    "  --rate HZ          sample rate, 8000..192000 (default 44100)\n"
    "  --interp MODE      linear or nearest (default linear)\n"
    "  --mute LIST        tracks to silence, e.g. 0,3,8-10\n"
    "  --stems DIR        also write one WAV per track that has events\n"
    "  --info             print the song's facts and exit (--json: as JSON)\n"
    "  -q                 no progress bar\n"
    "  --help             this text\n"
    "Refused before any work: an output that is one of the inputs, and a render longer than a\n"
    "WAV file can hold (4 GiB of samples: 6 h 45 min at 44100 Hz).\n";

struct Options {
  render::RenderOptions render;
  std::string song;
  std::string out;
  std::string stems;
  bool info = false;
  bool json = false;
  bool quiet = false;
};

int Usage(const std::string& problem) {
  std::fprintf(stderr, "org2wav: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

// Reads one option that takes a value; 0, or the exit status of a usage error.
int ReadOption(const std::string& arg, tools::ArgumentReader* args, Options* o) {
  std::string v;
  if (!args->Value(arg, &v)) return Usage(args->problem());
  double number = 0;
  long long whole = 0;
  if (arg == "--bank") {
    o->render.bank_path = v;
  } else if (arg == "--drums") {
    o->render.drums_folder = platform::NativePathToDataPath(v);
  } else if (arg == "--loops") {
    if (!tools::ParseWholeNumber(v, 1, 1000, &whole))
      return Usage("--loops needs a whole number from 1 to 1000");
    o->render.loops = static_cast<int>(whole);
  } else if (arg == "--seconds") {
    if (!tools::ParseDecimal(v, 0, 36000, &number))
      return Usage("--seconds needs a number of seconds up to 36000");
    o->render.seconds = number;
  } else if (arg == "--fade") {
    if (!tools::ParseDecimal(v, 0, 600, &number))
      return Usage("--fade needs a number of seconds up to 600");
    o->render.fade_seconds = number;
  } else if (arg == "--rate") {
    if (!tools::ParseWholeNumber(v, 8000, 192000, &whole))
      return Usage("--rate needs a whole number from 8000 to 192000");
    o->render.rate = static_cast<int>(whole);
  } else if (arg == "--interp") {
    if (v != "linear" && v != "nearest") return Usage("--interp is linear or nearest");
    o->render.nearest = v == "nearest";
  } else if (arg == "--mute") {
    if (!tools::ParseTrackList(v, &o->render.muted_tracks))
      return Usage("--mute needs track numbers 0-15, such as 0,3,8-10");
  } else if (arg == "--stems") {
    o->stems = v;
  }
  return 0;
}

int ParseArguments(int argc, char** argv, Options* o) {
  std::vector<std::string> positional;
  o->render.bank_path = tools::DefaultWaveBankPath();
  tools::ArgumentReader args(argc, argv);
  while (!args.Done()) {
    const std::string arg = args.Next();
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg == "-q") {
      o->quiet = true;
    } else if (arg == "--info") {
      o->info = true;
    } else if (arg == "--json") {
      o->json = true;
    } else if (arg == "--bank" || arg == "--drums" || arg == "--loops" || arg == "--seconds" ||
               arg == "--fade" || arg == "--rate" || arg == "--interp" || arg == "--mute" ||
               arg == "--stems") {
      if (int status = ReadOption(arg, &args, o)) return status;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != (o->info ? 1u : 2u)) return Usage("wrong number of files");
  o->song = positional[0];
  if (!o->info) o->out = positional[1];
  return 0;
}

std::string StemPath(const std::string& folder, int track) {
  char name[32];
  std::snprintf(name, sizeof name, "/track_%02d.wav", track);
  return folder + name;
}

std::string Duration(double seconds) {
  char text[64];
  const long long whole = std::llround(seconds);
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%lld h %02lld min", whole / 3600, whole / 60 % 60);
  else
    std::snprintf(text, sizeof text, "%lld min %02lld s", whole / 60, whole % 60);
  return text;
}

// The checks made before any work: 0, or the exit status after a one-line message.
int CheckBeforeWork(const Options& o, const org::ParsedSong& song,
                    const std::vector<std::string>& outputs) {
  const std::vector<std::string> inputs = {o.song, o.render.bank_path};
  for (const std::string& out : outputs) {
    const std::string input = tools::InputOverwrittenBy(out, inputs);
    if (!input.empty()) {
      std::fprintf(stderr, "org2wav: %s is the input %s: refusing to overwrite it\n", out.c_str(),
                   input.c_str());
      return 2;
    }
  }
  const uint64_t frames = static_cast<uint64_t>(render::PlannedFrames(song, o.render));
  const uint64_t limit = render::MaxWavFrames(2);
  if (frames > limit) {
    std::fprintf(stderr,
                 "org2wav: the render would last %s (%.1f GB); a WAV file holds at most 4 GiB of "
                 "samples, %s at %d Hz: use --seconds or fewer --loops\n",
                 Duration(static_cast<double>(frames) / o.render.rate).c_str(),
                 static_cast<double>(frames) * 4 / 1e9,
                 Duration(static_cast<double>(limit) / o.render.rate).c_str(), o.render.rate);
    return 2;
  }
  return 0;
}

// The stems folder is made and must take files, before the main render starts.
bool PrepareStemsFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "org2wav: cannot make the folder %s: %s\n", folder.c_str(),
                 error.message().c_str());
    return false;
  }
  tools::SafeOutput probe;
  std::string problem;
  if (!probe.Open(folder + "/.org2wav-write-test", &problem)) {
    std::fprintf(stderr, "org2wav: cannot write into %s\n", problem.c_str());
    return false;
  }
  probe.Abandon();
  return true;
}

// Renders one file; false after printing a one-line message.
bool RenderTo(const Options& o, const std::string& out_path, uint32_t extra_mute, uint64_t frames,
              bool warn, tools::ProgressBar* bar, int render_index) {
  render::WavWriter writer;
  std::string error;
  if (!writer.Open(out_path, o.render.rate, 2, frames, &error)) {
    std::fprintf(stderr, "org2wav: cannot write %s\n", error.c_str());
    return false;
  }
  render::RenderOptions options = o.render;
  options.muted_tracks |= extra_mute;
  bool written = true;
  const render::RenderResult result = render::RenderSong(
      platform::NativePathToDataPath(o.song), options,
      [&](const int16_t* stereo, int count) {
        written = writer.Write(stereo, static_cast<size_t>(count)) && written;
      },
      [&](double fraction) { bar->Update(render_index, fraction); });
  if (!result.ok) {
    writer.Abandon();
    std::fprintf(stderr, "org2wav: %s: %s\n", o.song.c_str(), result.error.c_str());
    return false;
  }
  if (warn)
    for (const std::string& missing : result.missing_drums)
      std::fprintf(stderr, "org2wav: warning: drum file not found: %s\n", missing.c_str());
  if (!writer.Finish(&error)) {
    std::fprintf(stderr, "org2wav: cannot write %s\n", error.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (int status = ParseArguments(argc, argv, &o)) return status;
  tools::InstallSignalCleanup();

  std::vector<uint8_t> bytes;
  auto song = std::make_unique<org::ParsedSong>();
  if (!platform::ReadDataFile(platform::NativePathToDataPath(o.song), 1 << 20, &bytes)) {
    std::fprintf(stderr, "org2wav: %s: %s\n", o.song.c_str(),
                 render::WhySongUnreadable(o.song).c_str());
    return 1;
  }
  const org::ParseResult parse = org::ParseOrgSong(bytes.data(), bytes.size(), song.get());
  if (parse != org::ParseResult::kOk) {
    std::fprintf(stderr, "org2wav: %s: %s\n", o.song.c_str(),
                 parse == org::ParseResult::kNotOrg ? "not an Org song" : "a damaged Org song");
    return 1;
  }
  if (o.info) {
    std::fputs((o.json ? render::SongInfoJson(*song) : render::SongInfoText(*song)).c_str(),
               stdout);
    return 0;
  }
  if (song->wait == 0) {
    std::fprintf(stderr, "org2wav: %s: the song's step length is 0 ms\n", o.song.c_str());
    return 1;
  }
  std::vector<int> stem_tracks;
  std::vector<std::string> outputs = {o.out};
  if (!o.stems.empty())
    for (int t = 0; t < org::kTrackCount; ++t)
      if (!song->tracks[t].events.empty()) {
        stem_tracks.push_back(t);
        outputs.push_back(StemPath(o.stems, t));
      }
  if (int status = CheckBeforeWork(o, *song, outputs)) return status;
  if (!o.stems.empty() && !PrepareStemsFolder(o.stems)) return 1;
  render::WarnAboutWaveBank("org2wav", o.render.bank_path);
  render::ChooseDrumFolder("org2wav", *song, platform::NativePathToDataPath(o.song),
                           &o.render.drums_folder);

  const uint64_t frames = static_cast<uint64_t>(render::PlannedFrames(*song, o.render));
  tools::ProgressBar bar(stderr, !o.quiet && isatty(2), 1 + static_cast<int>(stem_tracks.size()));
  if (!RenderTo(o, o.out, 0, frames, true, &bar, 0)) return 1;
  for (size_t i = 0; i < stem_tracks.size(); ++i) {
    const int t = stem_tracks[i];
    if (!RenderTo(o, StemPath(o.stems, t), ~(1u << t) & 0xFFFF, frames, false, &bar,
                  static_cast<int>(i) + 1))
      return 1;
  }
  return 0;
}
