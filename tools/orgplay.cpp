// orgplay: plays an Org song in real time on the sound device, through the jukebox's own
// playback path (the music player, the sequencer's timer thread and the mixer), until Ctrl-C or
// the given number of seconds. Shows the step and the loop count on one refreshing line.
// Usage: orgplay SONG.org [--seconds S] [--bank FILE]
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "org/music_player.h"
#include "org/sequencer.h"
#include "runtime/core/app_log.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/notice.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/sound/sound_device.h"
#include "tools/default_bank.h"

namespace {

constexpr const char* kUsage =
    "usage: orgplay SONG.org [--seconds S] [--bank FILE]\n"
    "Plays an Org song on the sound device until Ctrl-C or S seconds have passed.\n";
constexpr uint32_t kFrameMs = 35;  // the jukebox's frame period
constexpr uint32_t kStreamStartLimitMs = 3000;

std::atomic<bool> g_stop{false};

void OnInterrupt(int) { g_stop = true; }

int Usage(const char* problem) {
  std::fprintf(stderr, "orgplay: %s\n%s", problem, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string song;
  std::string bank = tools::DefaultWaveBankPath();
  double seconds = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--seconds" && i + 1 < argc) {
      char* end = nullptr;
      seconds = std::strtod(argv[++i], &end);
      if (*end != '\0' || seconds < 0) return Usage("--seconds needs a number of seconds");
    } else if (arg == "--bank" && i + 1 < argc) {
      bank = argv[++i];
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage(("unknown option " + arg).c_str());
    } else if (song.empty()) {
      song = arg;
    } else {
      return Usage("one song at a time");
    }
  }
  if (song.empty()) return Usage("which song?");

  // Refuse what the player could not play before any sound starts.
  std::vector<uint8_t> bytes;
  auto parsed = std::make_unique<org::ParsedSong>();
  if (!platform::ReadDataFile(platform::NativePathToDataPath(song), 1 << 20, &bytes)) {
    std::fprintf(stderr, "orgplay: %s: cannot read the file\n", song.c_str());
    return 1;
  }
  if (org::ParseOrgSong(bytes.data(), bytes.size(), parsed.get()) != org::ParseResult::kOk) {
    std::fprintf(stderr, "orgplay: %s: not a usable Org song\n", song.c_str());
    return 1;
  }
  // The timer refuses a 0 ms period: the song would never move.
  if (parsed->wait == 0) {
    std::fprintf(stderr, "orgplay: %s: the song's step length is 0 ms\n", song.c_str());
    return 1;
  }
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
  player->InitWithSong(runtime::GetSoundDevice(), bank.c_str(),
                       platform::NativePathToDataPath(song).c_str());
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
  while (!g_stop && (seconds < 0 || platform::ClockMs() - start < seconds * 1000)) {
    player->UpdateFrame();
    if (show) {
      std::printf("\rstep %6d   loop %3d   %6.1f s", org::PublishedPlayStep(),
                  org::PublishedLoopCount(), (platform::ClockMs() - start) / 1000.0);
      std::fflush(stdout);
    }
    platform::SleepMs(kFrameMs);
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
