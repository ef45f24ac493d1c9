// orgplay: plays an Org song in real time on the sound device, through the jukebox's own
// playback path (the music player, the sequencer's timer thread and the mixer), until Ctrl-C or
// the given number of seconds. Shows the step and the loop count on one refreshing line.
// Usage: orgplay SONG.org [--seconds S] [--loops N] [--bank FILE] [--drums DIR]
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "org/drum_folder.h"
#include "org/music_player.h"
#include "org/sequencer.h"
#include "runtime/core/app_log.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/notice.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/sound/sound_device.h"
#include "tools/cli/arguments.h"
#include "tools/default_bank.h"
#include "tools/render/song_inputs.h"

namespace {

constexpr const char* kUsage =
    "usage: orgplay SONG.org [--seconds S] [--loops N] [--bank FILE] [--drums DIR]\n"
    "Plays an Org song on the sound device until Ctrl-C, S seconds, or the intro and N passes of\n"
    "its loop. Without drums beside the song the shipped ones play.\n";
constexpr uint32_t kFrameMs = 35;  // the jukebox's frame period
constexpr uint32_t kStreamStartLimitMs = 3000;

std::atomic<bool> g_stop{false};

void OnInterrupt(int) { g_stop = true; }

int Usage(const std::string& problem) {
  std::fprintf(stderr, "orgplay: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

struct Options {
  std::string song;
  std::string bank = tools::DefaultWaveBankPath();
  std::string drums_folder;  // empty: beside the song
  double seconds = -1;
  long long loops = 0;  // 0: until stopped
};

int ParseArguments(int argc, char** argv, Options* o) {
  tools::ArgumentReader args(argc, argv);
  while (!args.Done()) {
    const std::string arg = args.Next();
    std::string v;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg == "--seconds" || arg == "--loops" || arg == "--bank" || arg == "--drums") {
      if (!args.Value(arg, &v)) return Usage(args.problem());
      if (arg == "--seconds" && !tools::ParseDecimal(v, 0, 36000, &o->seconds))
        return Usage("--seconds needs a number of seconds up to 36000");
      if (arg == "--loops" && !tools::ParseWholeNumber(v, 1, 1000, &o->loops))
        return Usage("--loops needs a whole number from 1 to 1000");
      if (arg == "--bank") o->bank = v;
      if (arg == "--drums") o->drums_folder = v;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else if (o->song.empty()) {
      o->song = arg;
    } else {
      return Usage("one song at a time");
    }
  }
  if (o->song.empty()) return Usage("which song?");
  return 0;
}

// True once the song has played its intro and the asked-for passes of its loop.
bool LoopsDone(const Options& o) { return o.loops > 0 && org::PublishedLoopCount() >= o.loops; }

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (int status = ParseArguments(argc, argv, &o)) return status;
  const std::string song = o.song;
  const std::string& bank = o.bank;

  // Refuse what the player could not play before any sound starts.
  auto parsed = std::make_unique<org::ParsedSong>();
  std::string why;
  if (!render::ReadSongFile(song, parsed.get(), &why)) {
    std::fprintf(stderr, "orgplay: %s: %s\n", song.c_str(), why.c_str());
    return 1;
  }
  // The timer refuses a 0 ms period: the song would never move.
  if (parsed->wait == 0) {
    std::fprintf(stderr, "orgplay: %s: the song's step length is 0 ms\n", song.c_str());
    return 1;
  }
  render::WarnAboutWaveBank("orgplay", bank);
  const bool shipped = render::UseShippedDrums("orgplay", *parsed, song, o.drums_folder);
  const std::string drum_folder = org::DrumFolderFor(song, o.drums_folder);
  // Each missing drum file once (the player itself says nothing about the tool's own songs).
  std::error_code error;
  for (const std::string& drum : org::DrumFilesOf(*parsed, drum_folder, true))
    if (!shipped && !std::filesystem::is_regular_file(drum, error))
      std::fprintf(stderr, "orgplay: warning: drum file not found: %s\n", drum.c_str());
  // A terminal program reports on its terminal, not in message boxes.
  platform::SetNoticeSink([](const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "\norgplay: warning: %s\n",
                 platform::FormatNoticeLine(text, caption).c_str());
  });
  runtime::SetAppLogEnabled(0);
  if (runtime::OpenSoundDevice() != 0) {
    std::fprintf(stderr, "orgplay: no sound device could be opened\n");
    return 1;
  }
  signal(SIGINT, OnInterrupt);
  signal(SIGTERM, OnInterrupt);

  auto player = std::make_unique<org::MusicPlayer>();
  player->InitWithSong(runtime::GetSoundDevice(), bank, song);
  player->SetUserSongDrums(shipped ? org::BuiltInDrums() : org::FolderDrums(drum_folder, nullptr));
  if (!player->ready) {
    std::fprintf(stderr, "orgplay: cannot read the waveform bank %s\n", bank.c_str());
    runtime::CloseSoundDevice();
    return 1;
  }
  // A sound server may take a second to start consuming the new stream: the song starts once
  // the stream runs, so its first notes are neither lost nor bunched together.
  const uint32_t opened = platform::ClockMs();
  while (!runtime::GetMixingSoundDevice()->output().Streaming() && !g_stop &&
         platform::ClockMs() - opened < kStreamStartLimitMs)
    platform::SleepMs(5);
  player->PlayIndex(0);
  const uint32_t start = platform::ClockMs();
  const bool show = isatty(1);
  const double seconds = o.seconds;
  while (!g_stop && !LoopsDone(o) &&
         (seconds < 0 || platform::ClockMs() - start < seconds * 1000)) {
    player->UpdateFrame();
    if (show) {
      std::printf("\rstep %6d   loop %3d   %6.1f s", org::PublishedPlayStep(),
                  org::PublishedLoopCount(), (platform::ClockMs() - start) / 1000.0);
      std::fflush(stdout);
    }
    // Watching for the end of a pass closely, so that little of the next one sounds.
    platform::SleepMs(o.loops > 0 ? 2 : kFrameMs);
  }
  if (show) std::printf("\n");
  player->StopPlayback();
  player->ReleasePlayer();
  const uint64_t underruns = runtime::GetMixingSoundDevice()->output().Underruns();
  runtime::CloseSoundDevice();
  // Blocks the sound device asked for later than it needed them: each may have been a gap.
  std::printf("underruns: %llu\n", static_cast<unsigned long long>(underruns));
  return 0;
}
