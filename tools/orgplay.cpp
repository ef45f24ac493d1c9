// orgplay: plays an Org song in real time on the sound device, through the jukebox's own
// playback path (the music player, the sequencer's timer thread and the mixer), until Ctrl-C or
// the given number of seconds. Shows the step, the loop count and the position (with the length
// when it ends) on one refreshing line; the arrow keys seek 5 s, Home to where the loop starts.
// Usage: orgplay SONG.org [--seconds S] [--loops N] [--start S] [--bank FILE] [--drums DIR]
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

#include "game_music/drum_folder.h"
#include "game_music/music_player.h"
#include "org/song_renderer.h"
#include "runtime/core/app_log.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/notice.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/program_arguments.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/sound/sound_device.h"
#include "tools/cli/arguments.h"
#include "tools/cli/terminal_keys.h"
#include "tools/default_bank.h"
#include "tools/render/song_inputs.h"

namespace {

constexpr const char* kUsage =
    "usage: orgplay SONG.org [--seconds S] [--loops N] [--start S] [--bank FILE] [--drums DIR]\n"
    "Plays an Org song on the sound device until Ctrl-C, S seconds into the song, or the intro\n"
    "and N passes of its loop; --start begins S seconds in (exactly where it would be). Left and\n"
    "Right seek 5 s back and forward while it plays, Home to where the loop starts. Without\n"
    "drums beside the song the shipped ones play.\n";
constexpr uint32_t kFrameMs = 35;  // the jukebox's frame period

std::atomic<bool> g_stop{false};

void OnInterrupt(int) { g_stop = true; }

int Usage(const std::string& problem) { return tools::UsageError("orgplay", problem); }

struct Options {
  std::string song;
  std::string bank = tools::DefaultWaveBankPath();
  std::string drums_folder;  // empty: beside the song
  double seconds = -1;
  double start = 0;
  long long loops = 0;  // 0: until stopped
};

int ParseArguments(int argc, char** argv, Options* o) {
  tools::ArgumentReader args(argc, argv);
  while (!args.Done()) {
    const std::string arg = args.Next();
    std::string v;
    if (!args.IsOption(arg)) {
      if (!o->song.empty()) return Usage("one song at a time");
      o->song = arg;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg == "--seconds" || arg == "--loops" || arg == "--bank" || arg == "--drums" ||
               arg == "--start") {
      if (!args.Value(arg, &v)) return Usage(args.problem());
      if (arg == "--seconds" && !tools::ParseDecimal(v, 0, 36000, &o->seconds))
        return Usage("--seconds needs a number of seconds up to 36000");
      if (arg == "--start" && !tools::ParseDecimal(v, 0, 36000, &o->start))
        return Usage("--start needs a number of seconds up to 36000");
      if (arg == "--loops" && !tools::ParseWholeNumber(v, 1, 1000, &o->loops))
        return Usage("--loops needs a whole number from 1 to 1000");
      if (arg == "--bank") o->bank = v;
      if (arg == "--drums") o->drums_folder = v;
    } else {
      return Usage("unknown option " + arg);
    }
  }
  if (o->song.empty()) return Usage("which song?");
  return 0;
}

// True once the song has played its intro and the asked-for passes of its loop.
bool LoopsDone(const Options& o, const org::MusicPlayer& player) {
  return o.loops > 0 && player.loop_count() >= o.loops;
}

// How long the song plays (ms): to S seconds, or through the intro and N passes of its loop (the
// last step's period included); -1 until stopped.
int64_t LengthMs(const Options& o, const org::ParsedSong& song) {
  if (o.seconds >= 0) return static_cast<int64_t>(o.seconds * 1000);
  if (o.loops <= 0) return -1;
  return (org::SongRenderer::StepsForPasses(song, static_cast<int>(o.loops)) + 1) * song.wait;
}

std::string Clock(int64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%04.1f", static_cast<long long>(ms / 60000),
                static_cast<double>(ms % 60000) / 1000.0);
  return text;
}

// Where the song is (ms): where it last started or landed, and the time since.
struct SongClock {
  int64_t base_ms = 0;
  uint32_t since = 0;
  int64_t now() const { return base_ms + (platform::ClockMs() - since); }
  void Set(int64_t ms) {
    base_ms = ms;
    since = platform::ClockMs();
  }
};

// Acts on a key: seeks and moves the clock to where the player landed.
void Seek(tools::TerminalKey key, org::MusicPlayer* player, SongClock* clock) {
  int64_t target = -1;
  if (key == tools::TerminalKey::kLeft) target = std::max<int64_t>(clock->now() - 5000, 0);
  if (key == tools::TerminalKey::kRight) target = clock->now() + 5000;
  if (key == tools::TerminalKey::kHome) target = player->loop_start_ms();
  if (target < 0) return;
  const int64_t landed =
      player->SeekTo(static_cast<uint32_t>(std::min<int64_t>(target, UINT32_MAX)));
  if (landed >= 0) clock->Set(landed);
}

}  // namespace

int main(int argc, char** argv) {
  // The arguments as UTF-8 (on Windows from the wide command line).
  platform::ProgramArguments utf8_arguments(argc, argv);
  argc = utf8_arguments.argc();
  argv = utf8_arguments.argv();
  Options o;
  if (int status = ParseArguments(argc, argv, &o)) return status;
  const std::string song = o.song;
  const std::string& bank = o.bank;

  // Refuse what the player could not play before any sound starts.
  auto parsed = std::make_unique<org::ParsedSong>();
  std::string why;
  if (!render::ReadSongFile(song, parsed.get(), &why)) {
    std::fprintf(stderr, "orgplay: %s: %s\n", platform::PrintableText(song).c_str(), why.c_str());
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
  // The device was opened once its stream runs: the song is heard from its first step.
  player->PlayIndex(0);
  SongClock clock;
  clock.Set(0);
  if (o.start > 0) {
    const int64_t landed = player->SeekTo(static_cast<uint32_t>(o.start * 1000));
    if (landed >= 0) clock.Set(landed);
  }
  const bool show = isatty(1);
  const int64_t length = LengthMs(o, *parsed);
  const std::string length_text = length < 0 ? "" : " / " + Clock(length);
  tools::TerminalKeys keys;
  const auto show_line = [&] {
    // The step that sounds (the last one played), not the one the next tick plays.
    std::printf("\rstep %6d   loop %3d   %s%s   ", player->playing_step(), player->loop_count(),
                Clock(clock.now()).c_str(), length_text.c_str());
    std::fflush(stdout);
  };
  uint32_t shown_at = platform::ClockMs() - kFrameMs;
  while (!g_stop && !LoopsDone(o, *player) && (o.seconds < 0 || clock.now() < o.seconds * 1000)) {
    player->UpdateFrame();
    for (tools::TerminalKey key; (key = keys.Read()) != tools::TerminalKey::kNone;)
      Seek(key, player.get(), &clock);
    if (show && platform::ClockMs() - shown_at >= kFrameMs) {
      shown_at = platform::ClockMs();
      show_line();
    }
    // Watching for the end of a pass closely, so that little of the next one sounds.
    platform::SleepMs(o.loops > 0 ? 2 : kFrameMs);
  }
  if (show) {
    show_line();  // where it ended
    std::printf("\n");
  }
  player->StopPlayback();
  player->ReleasePlayer();
  const uint64_t underruns = runtime::GetMixingSoundDevice()->output().Underruns();
  runtime::CloseSoundDevice();
  // Blocks the sound device asked for later than it needed them: each may have been a gap.
  std::printf("underruns: %llu\n", static_cast<unsigned long long>(underruns));
  return 0;
}
