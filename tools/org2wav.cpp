// org2wav: renders an Org song to a 16-bit stereo WAV file through the jukebox's own engine and
// sound device, offline. Run with --help for the options.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "runtime/platform/data_path.h"
#include "runtime/platform/text_encoding.h"
#include "tools/default_bank.h"
#include "tools/render/offline_render.h"
#include "tools/render/song_info.h"
#include "tools/render/wav_writer.h"

namespace {

constexpr const char* kUsage =
    "usage: org2wav [options] SONG.org OUT.wav\n"
    "       org2wav --info [--json] SONG.org\n"
    "Renders an Org song to a 16-bit stereo WAV file.\n"
    "  --bank FILE        waveform bank (default: Org/Wave100.dat here, else the shipped one)\n"
    "  --drums DIR        folder holding the 28 drum files (default: the song's Org/ folder)\n"
    "  --loops N          play to the loop end, then the loop N-1 more times (default 2)\n"
    "  --seconds S        render S seconds instead\n"
    "  --fade S           fade out linearly over S seconds after the last loop (default 0)\n"
    "  --rate HZ          sample rate, 8000..192000 (default 44100)\n"
    "  --interp MODE      linear or nearest (default linear)\n"
    "  --mute LIST        tracks to silence, e.g. 0,3,8-10\n"
    "  --stems DIR        also write one WAV per track that has events\n"
    "  --info             print the song's facts and exit (--json: as JSON)\n"
    "  -q                 no progress bar\n"
    "  --help             this text\n";

// The file being written, for the interrupt handler to remove.
char g_partial[4096];

void OnInterrupt(int) {
  if (g_partial[0]) unlink(g_partial);
  _exit(130);
}

int Usage(const char* problem) {
  std::fprintf(stderr, "org2wav: %s\n%s", problem, kUsage);
  return 2;
}

bool ParseNumber(const char* text, double low, double high, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == '\0' && *value >= low && *value <= high;
}

bool ParseTrackList(const std::string& text, uint32_t* mask) {
  size_t at = 0;
  while (at < text.size()) {
    const size_t comma = std::min(text.find(',', at), text.size());
    const std::string part = text.substr(at, comma - at);
    const size_t dash = part.find('-');
    double first = 0;
    double last = 0;
    if (!ParseNumber(part.substr(0, dash).c_str(), 0, 15, &first)) return false;
    last = first;
    if (dash != std::string::npos && !ParseNumber(part.substr(dash + 1).c_str(), first, 15, &last))
      return false;
    for (int t = static_cast<int>(first); t <= static_cast<int>(last); ++t) *mask |= 1u << t;
    at = comma + 1;
  }
  return *mask != 0;
}

struct Options {
  render::RenderOptions render;
  std::string song;
  std::string out;
  std::string stems;
  bool info = false;
  bool json = false;
  bool quiet = false;
};

int ParseArguments(int argc, char** argv, Options* o) {
  std::vector<std::string> positional;
  o->render.bank_path = tools::DefaultWaveBankPath();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) return nullptr;
      (void)name;
      return argv[++i];
    };
    double number = 0;
    const char* v = nullptr;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg == "-q") {
      o->quiet = true;
    } else if (arg == "--info") {
      o->info = true;
    } else if (arg == "--json") {
      o->json = true;
    } else if (arg == "--bank") {
      if (!(v = value("--bank"))) return Usage("--bank needs a file");
      o->render.bank_path = v;
    } else if (arg == "--drums") {
      if (!(v = value("--drums"))) return Usage("--drums needs a folder");
      o->render.drums_folder = platform::NativePathToDataPath(v);
    } else if (arg == "--loops") {
      if (!(v = value("--loops")) || !ParseNumber(v, 1, 1000, &number) ||
          number != static_cast<int>(number))
        return Usage("--loops needs a whole number from 1 to 1000");
      o->render.loops = static_cast<int>(number);
    } else if (arg == "--seconds") {
      if (!(v = value("--seconds")) || !ParseNumber(v, 0, 36000, &number))
        return Usage("--seconds needs a number of seconds up to 36000");
      o->render.seconds = number;
    } else if (arg == "--fade") {
      if (!(v = value("--fade")) || !ParseNumber(v, 0, 600, &number))
        return Usage("--fade needs a number of seconds up to 600");
      o->render.fade_seconds = number;
    } else if (arg == "--rate") {
      if (!(v = value("--rate")) || !ParseNumber(v, 8000, 192000, &number))
        return Usage("--rate needs a rate from 8000 to 192000");
      o->render.rate = static_cast<int>(number);
    } else if (arg == "--interp") {
      if (!(v = value("--interp")) ||
          (std::strcmp(v, "linear") != 0 && std::strcmp(v, "nearest") != 0))
        return Usage("--interp is linear or nearest");
      o->render.nearest = std::strcmp(v, "nearest") == 0;
    } else if (arg == "--mute") {
      if (!(v = value("--mute")) || !ParseTrackList(v, &o->render.muted_tracks))
        return Usage("--mute needs track numbers 0-15, such as 0,3,8-10");
    } else if (arg == "--stems") {
      if (!(v = value("--stems"))) return Usage("--stems needs a folder");
      o->stems = v;
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage(("unknown option " + arg).c_str());
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != (o->info ? 1u : 2u)) return Usage("wrong number of files");
  o->song = positional[0];
  if (!o->info) o->out = positional[1];
  return 0;
}

void ShowProgress(double fraction) {
  const int width = 40;
  const int filled = static_cast<int>(fraction * width);
  std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
               width - filled, "", static_cast<int>(fraction * 100));
  if (fraction >= 1.0) std::fputc('\n', stderr);
}

// Renders one file; false after printing a one-line message.
bool RenderTo(const Options& o, const std::string& out_path, uint32_t extra_mute, bool show) {
  render::WavWriter writer;
  if (!writer.Open(out_path, o.render.rate, 2)) {
    std::fprintf(stderr, "org2wav: cannot write %s\n", out_path.c_str());
    return false;
  }
  std::snprintf(g_partial, sizeof g_partial, "%s", writer.temporary_path().c_str());
  render::RenderOptions options = o.render;
  options.muted_tracks |= extra_mute;
  const bool progress = show && !o.quiet && isatty(2);
  const render::RenderResult result = render::RenderSong(
      platform::NativePathToDataPath(o.song), options,
      [&](const int16_t* stereo, int frames) { writer.Write(stereo, static_cast<size_t>(frames)); },
      progress ? render::ProgressSink(ShowProgress) : nullptr);
  if (!result.ok) {
    std::fprintf(stderr, "org2wav: %s: %s\n", o.song.c_str(), result.error.c_str());
    return false;
  }
  if (show && !result.missing_drums.empty()) {
    std::string lines = platform::Cp932ToUtf8(result.missing_drums);
    for (size_t at = 0; at < lines.size();) {
      const size_t end = lines.find('\n', at);
      std::fprintf(stderr, "org2wav: warning: %s\n", lines.substr(at, end - at).c_str());
      at = end + 1;
    }
  }
  const bool finished = writer.Finish();
  g_partial[0] = '\0';
  if (!finished) std::fprintf(stderr, "org2wav: cannot write %s\n", out_path.c_str());
  return finished;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (int status = ParseArguments(argc, argv, &o)) return status;
  signal(SIGINT, OnInterrupt);
  signal(SIGTERM, OnInterrupt);

  std::vector<uint8_t> bytes;
  auto song = std::make_unique<org::ParsedSong>();
  if (!platform::ReadDataFile(platform::NativePathToDataPath(o.song), 1 << 20, &bytes)) {
    std::fprintf(stderr, "org2wav: %s: cannot read the file\n", o.song.c_str());
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
  if (!RenderTo(o, o.out, 0, true)) return 1;
  if (!o.stems.empty()) {
    std::error_code ignored;
    std::filesystem::create_directories(o.stems, ignored);
    for (int t = 0; t < org::kTrackCount; ++t) {
      if (song->tracks[t].events.empty()) continue;
      char name[32];
      std::snprintf(name, sizeof name, "/track_%02d.wav", t);
      if (!RenderTo(o, o.stems + name, ~(1u << t) & 0xFFFF, false)) return 1;
    }
  }
  return 0;
}
