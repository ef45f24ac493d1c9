// org2wav: renders Org songs to sound files through the jukebox's own engine and sound device,
// offline: one song to one file (WAV, FLAC, Ogg Vorbis, Ogg Opus or MP3, with tags, loop tags and
// loudness), or a whole playlist into a folder in parallel. Run with --help for the options.
// Everything it writes goes through the safe output path (tools/output/safe_output.h); what it
// cannot do it refuses before any work.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "game_music/playlist.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/file_reader.h"
#include "runtime/platform/program_arguments.h"
#include "runtime/platform/text_encoding.h"
#include "tools/cli/arguments.h"
#include "tools/cli/progress_bar.h"
#include "tools/default_bank.h"
#include "tools/export/batch_export.h"
#include "tools/export/export_job.h"
#include "tools/output/safe_output.h"
#include "tools/render/song_info.h"
#include "tools/render/song_inputs.h"
#include "tools/render/wav_writer.h"

namespace {

using exporting::AudioFormat;

constexpr const char* kUsage =
    "usage: org2wav [options] SONG.org OUT          one song (OUT \"-\": standard output)\n"
    "       org2wav [options] --out-dir DIR [--playlist FILE | SONG.org ...]   a soundtrack\n"
    "       org2wav --info [--json] SONG.org        the song's facts and the render's loudness\n"
    "Renders Org songs to 16-bit stereo sound files; the format follows OUT's extension:\n"
    ".wav, .flac, .ogg (Vorbis), .opus or .mp3 (another is refused unless --format says).\n"
    "-- ends the options.\n"
    "  --format F         wav, flac, ogg, opus or mp3, whatever the extension\n"
    "  --quality Q        0 to 1: the codec's quality (Vorbis, Opus, MP3) or FLAC's compression\n"
    "                     effort (default 0.5)\n"
    "  --title T, --artist A, --album A, --track N   tags (a playlist gives each song's title)\n"
    "  --loop-tags        mark the loop a game engine repeats: LOOPSTART/LOOPLENGTH (samples)\n"
    "                     in FLAC, Ogg and Opus comments, a smpl chunk in WAV files\n"
    "  --normalize LUFS   bring the render to that loudness (-70 to -5), its true peak at\n"
    "                     most -1 dBTP (a note says when that keeps it quieter)\n"
    "  --replaygain       write ReplayGain's track gain and peak tags (Opus: R128_TRACK_GAIN)\n"
    "  --bank FILE        waveform bank (default: Org/Wave100.dat here, else the shipped one)\n"
    "  --drums DIR        folder holding the 28 drum files (default: the song's Org/ folder,\n"
    "                     else the shipped drums)\n"
    "  --loops N          play to the loop end, then the loop N-1 more times (default 2)\n"
    "  --seconds S        render S seconds instead (counted from --start)\n"
    "  --start S          begin the file S seconds into the song (exactly where a render from\n"
    "                     the start would be)\n"
    "  --fade S           fade out linearly over S seconds after the last loop (default 0)\n"
    "  --rate HZ          sample rate, 8000..192000 (default 44100; Opus: 48000)\n"
    "  --interp MODE      linear or nearest (default linear)\n"
    "  --mute LIST        tracks to silence, e.g. 0,3,8-10\n"
    "  --stems DIR        also write one WAV per track that has events\n"
    "  --out-dir DIR      render every song given (or the playlist's) into DIR\n"
    "  --playlist FILE    the songs of a playlist (the music.txt format) for --out-dir\n"
    "  --name-by W        file or title: what the files in --out-dir are named after\n"
    "  -j N               songs rendered at once (default: every core)\n"
    "  --info             print the song's facts and the render's loudness (--json: as JSON)\n"
    "  -q                 no progress bar\n"
    "  --help             this text\n"
    "Refused before any work: an output that is one of the inputs, a format this machine's\n"
    "libsndfile cannot write, and a WAV render longer than a WAV file can hold (4 GiB of\n"
    "samples: 6 h 45 min at 44100 Hz).\n";

struct Options {
  exporting::ExportOptions song;
  std::vector<std::string> songs;  // positional: SONG.org ... (and OUT last for one song)
  std::string out;
  std::string stems;
  std::string format_name;
  bool rate_given = false;
  std::string out_dir;
  std::string playlist;
  bool name_by_title = false;
  int jobs = 0;
  bool info = false;
  bool json = false;
  bool quiet = false;
};

int Usage(const std::string& problem) { return tools::UsageError("org2wav", problem); }

// Reads one option that takes a value; 0, or the exit status of a usage error.
int ReadOption(const std::string& arg, const std::string& v, Options* o) {
  double number = 0;
  long long whole = 0;
  render::RenderOptions& r = o->song.render;
  if (arg == "--bank") {
    r.bank_path = v;
  } else if (arg == "--drums") {
    r.drums_folder = v;
  } else if (arg == "--loops") {
    if (!tools::ParseWholeNumber(v, 1, 1000, &whole))
      return Usage("--loops needs a whole number from 1 to 1000");
    r.loops = static_cast<int>(whole);
  } else if (arg == "--seconds") {
    if (!tools::ParseDecimal(v, 0, 36000, &number))
      return Usage("--seconds needs a number of seconds up to 36000");
    r.seconds = number;
  } else if (arg == "--start") {
    if (!tools::ParseDecimal(v, 0, 36000, &number))
      return Usage("--start needs a number of seconds up to 36000");
    r.start_seconds = number;
  } else if (arg == "--fade") {
    if (!tools::ParseDecimal(v, 0, 600, &number))
      return Usage("--fade needs a number of seconds up to 600");
    r.fade_seconds = number;
  } else if (arg == "--rate") {
    if (!tools::ParseWholeNumber(v, 8000, 192000, &whole))
      return Usage("--rate needs a whole number from 8000 to 192000");
    r.rate = static_cast<int>(whole);
    o->rate_given = true;
  } else if (arg == "--interp") {
    if (v != "linear" && v != "nearest") return Usage("--interp is linear or nearest");
    r.nearest = v == "nearest";
  } else if (arg == "--mute") {
    if (!tools::ParseTrackList(v, &r.muted_tracks))
      return Usage("--mute needs track numbers 0-15, such as 0,3,8-10");
  } else if (arg == "--stems") {
    o->stems = v;
  } else if (arg == "--format") {
    if (!exporting::FormatFromName(v)) return Usage("--format is wav, flac, ogg, opus or mp3");
    o->format_name = v;
  } else if (arg == "--quality") {
    if (!tools::ParseDecimal(v, 0, 1, &o->song.quality))
      return Usage("--quality needs a number from 0 to 1");
  } else if (arg == "--title") {
    o->song.tags.title = v;
  } else if (arg == "--artist") {
    o->song.tags.artist = v;
  } else if (arg == "--album") {
    o->song.tags.album = v;
  } else if (arg == "--track") {
    o->song.tags.track = v;
  } else if (arg == "--normalize") {
    // A loudness a listener could want: from a whisper (-70) to as loud as a master gets (-5).
    const bool negative = !v.empty() && v[0] == '-';
    if (!negative || !tools::ParseDecimal(v.substr(1), 5, 70, &number))
      return Usage("--normalize needs a loudness from -70 to -5 LUFS, such as -16");
    o->song.normalize_lufs = -number;
  } else if (arg == "--out-dir") {
    o->out_dir = v;
  } else if (arg == "--playlist") {
    o->playlist = v;
  } else if (arg == "--name-by") {
    if (v != "file" && v != "title") return Usage("--name-by is file or title");
    o->name_by_title = v == "title";
  } else if (arg == "-j") {
    if (!tools::ParseWholeNumber(v, 1, 256, &whole))
      return Usage("-j needs a number of songs at once from 1 to 256");
    o->jobs = static_cast<int>(whole);
  }
  return 0;
}

bool TakesValue(const std::string& arg) {
  for (const char* option :
       {"--bank",  "--drums", "--loops",     "--seconds", "--fade",     "--rate",    "--interp",
        "--start", "--mute",  "--stems",     "--format",  "--quality",  "--title",   "--artist",
        "--album", "--track", "--normalize", "--out-dir", "--playlist", "--name-by", "-j"})
    if (arg == option) return true;
  return false;
}

int ParseArguments(int argc, char** argv, Options* o) {
  o->song.render.bank_path = tools::DefaultWaveBankPath();
  tools::ArgumentReader args(argc, argv);
  while (!args.Done()) {
    const std::string arg = args.Next();
    std::string value;
    if (!args.IsOption(arg)) {
      o->songs.push_back(arg);
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg == "-q") {
      o->quiet = true;
    } else if (arg == "--info") {
      o->info = true;
    } else if (arg == "--json") {
      o->json = true;
    } else if (arg == "--loop-tags") {
      o->song.loop_tags = true;
    } else if (arg == "--replaygain") {
      o->song.replaygain = true;
    } else if (TakesValue(arg)) {
      if (!args.Value(arg, &value)) return Usage(args.problem());
      if (int status = ReadOption(arg, value, o)) return status;
    } else {
      return Usage("unknown option " + arg);
    }
  }
  if (o->info) {
    if (o->songs.size() != 1) return Usage("--info takes one song");
  } else if (!o->out_dir.empty()) {
    if (o->songs.empty() == o->playlist.empty())
      return Usage("--out-dir takes songs or --playlist FILE, one of them");
    if (!o->stems.empty()) return Usage("--stems is for one song at a time");
  } else {
    if (o->songs.size() != 2) return Usage("wrong number of files: a song and an output");
    o->out = o->songs.back();
    o->songs.pop_back();
  }
  return 0;
}

// A device, a pipe or a folder: what is written there (or why it cannot be) is not named by an
// extension.
bool ExistsAndIsNoFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error);
}

// The format: --format, else the extension of OUT (WAV for standard output, a device, a pipe
// such as /dev/null, and for a batch). The rate: Opus's own unless given. False for an OUT whose
// extension names no format we write (x.m4a, a name without one): nothing may be written under a
// name that lies (see UnknownExtension).
bool ChooseFormat(const std::string& out, Options* o) {
  std::optional<AudioFormat> format;
  bool known = true;
  if (!o->format_name.empty()) {
    format = exporting::FormatFromName(o->format_name);
  } else if (!out.empty() && out != "-" && !ExistsAndIsNoFile(out)) {
    format = exporting::FormatFromPath(out);
    known = format.has_value();
  }
  o->song.format = format.value_or(AudioFormat::kWav);
  if (!o->rate_given) o->song.render.rate = exporting::DefaultRate(o->song.format);
  return known;
}

int UnknownExtension(const std::string& out) {
  return Usage(out +
               ": its extension names no format org2wav writes (.wav, .flac, .ogg, .opus, .mp3); "
               "or say which with --format");
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

// Why a render of no frames at all was asked for.
std::string WhyNothingToRender(const org::ParsedSong& song, const render::RenderOptions& r) {
  if (r.seconds == 0 && r.fade_seconds <= 0) return "--seconds 0 renders nothing";
  render::RenderOptions from_start = r;
  from_start.start_seconds = 0;
  char text[160];
  std::snprintf(text, sizeof text,
                "nothing to render: --start %.2f s is at or past the render's end (%.2f s)",
                r.start_seconds,
                static_cast<double>(render::PlannedFrames(song, from_start)) / r.rate);
  return text;
}

// The checks made before any work: 0, or the exit status after a one-line message.
int CheckBeforeWork(const Options& o, const std::string& song_path, const org::ParsedSong& song,
                    const std::vector<std::string>& outputs) {
  const std::vector<std::string> inputs = {song_path, o.song.render.bank_path};
  for (const std::string& out : outputs) {
    const std::string input = tools::InputOverwrittenBy(out, inputs);
    if (!input.empty()) {
      std::fprintf(stderr, "org2wav: %s is the input %s: refusing to overwrite it\n", out.c_str(),
                   input.c_str());
      return 2;
    }
  }
  const std::string problem = exporting::ProblemWithExport(song, o.song);
  if (!problem.empty()) {
    std::fprintf(stderr, "org2wav: %s\n", problem.c_str());
    return problem.find("cannot write") != std::string::npos ? 1 : 2;
  }
  const uint64_t frames = static_cast<uint64_t>(render::PlannedFrames(song, o.song.render));
  if (frames == 0) {
    std::fprintf(stderr, "org2wav: %s\n", WhyNothingToRender(song, o.song.render).c_str());
    return 2;
  }
  const uint64_t limit = render::MaxWavFrames(2);
  if (o.song.format == AudioFormat::kWav && frames > limit) {
    std::fprintf(stderr,
                 "org2wav: the render would last %s (%.1f GB); a WAV file holds at most 4 GiB of "
                 "samples, %s at %d Hz: use --seconds or fewer --loops\n",
                 Duration(static_cast<double>(frames) / o.song.render.rate).c_str(),
                 static_cast<double>(frames) * 4 / 1e9,
                 Duration(static_cast<double>(limit) / o.song.render.rate).c_str(),
                 o.song.render.rate);
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

// Reads and parses a song; false after a one-line message.
bool ReadSong(const std::string& path, org::ParsedSong* song) {
  std::string why;
  if (render::ReadSongFile(path, song, &why)) return true;
  std::fprintf(stderr, "org2wav: %s: %s\n", platform::PrintableText(path).c_str(), why.c_str());
  return false;
}

// The loudness lines of --info: a figure only where there is one to give.
std::string LoudnessText(const exporting::Loudness& l, const std::string& span) {
  char text[320];
  if (l.silent()) {
    std::snprintf(text, sizeof text, "loudness   none: the render%s is silent\ntrue peak  none\n",
                  span.c_str());
  } else if (!l.integrated_measured) {
    std::snprintf(text, sizeof text, "loudness   not measured: %s\ntrue peak  %.1f dBTP\n",
                  l.seconds < exporting::kShortestMeasurableSeconds
                      ? "the render is too short (under 0.4 s)"
                      : "the render is under the -70 LUFS gate throughout",
                  l.true_peak_dbtp);
  } else {
    std::snprintf(text, sizeof text,
                  "loudness   %.1f LUFS integrated, range %.1f LU%s\ntrue peak  %.1f dBTP%s\n",
                  l.integrated_lufs, l.range_lu, span.c_str(), l.true_peak_dbtp, span.c_str());
  }
  return text;
}

// --info measures at most this much of the render: a two-week song is not rendered whole.
constexpr double kLongestMeasuredSeconds = 600;

// The render --info measures: the one asked, or its first 10 minutes, with the words that say so.
render::RenderOptions MeasuredSpan(const org::ParsedSong& song, const render::RenderOptions& r,
                                   std::string* span) {
  render::RenderOptions measured = r;
  if (static_cast<double>(render::PlannedFrames(song, r)) / r.rate > kLongestMeasuredSeconds) {
    measured.seconds = kLongestMeasuredSeconds;
    measured.fade_seconds = 0;
    *span = " (its first 10 min)";
  }
  return measured;
}

// A JSON number, or null where there is no figure.
std::string JsonNumber(bool known, double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return known ? text : "null";
}

// The length of the render as asked (loops, seconds, fade, start), in seconds.
double RenderSeconds(const org::ParsedSong& song, const render::RenderOptions& r) {
  return static_cast<double>(render::PlannedFrames(song, r)) / r.rate;
}

// The render as asked, and where its first step sounds: one step after the start, as the
// jukebox's timer plays it, so a loop tag's LOOPSTART is that lead and the intro.
std::string RenderText(const org::ParsedSong& song, const render::RenderOptions& r) {
  const double seconds = RenderSeconds(song, r);
  char text[320];
  std::snprintf(text, sizeof text,
                "render     %.2f s (%s, a fade of %.2f s)\n"
                "first step %d ms in (a step's lead, so LOOPSTART is the lead and the intro)\n",
                seconds,
                r.seconds >= 0 ? "the seconds asked"
                               : (std::to_string(r.loops) + " pass" + (r.loops == 1 ? "" : "es") +
                                  " of the loop")
                                     .c_str(),
                r.fade_seconds, song.wait);
  return text;
}

int Info(const Options& o, const org::ParsedSong& song) {
  std::string span;
  const render::RenderOptions measured = MeasuredSpan(song, o.song.render, &span);
  const bool plays = song.wait != 0;
  const exporting::Loudness loudness =
      plays ? exporting::MeasureSong(o.songs[0], measured) : exporting::Loudness{};
  if (!o.json) {
    std::fputs((render::SongInfoText(song, RenderText(song, o.song.render)) +
                (plays ? LoudnessText(loudness, span)
                       : "loudness   none: a song of 0 ms steps does not play\n"))
                   .c_str(),
               stdout);
    return 0;
  }
  std::string json = render::SongInfoJson(song);
  const size_t end = json.rfind('}');
  char more[400];
  std::snprintf(more, sizeof more,
                ", \"render_seconds\": %.3f, \"first_step_ms\": %d, \"loudness_lufs\": %s, "
                "\"loudness_range_lu\": %s, \"true_peak_dbtp\": %s, \"measured_seconds\": %.3f",
                RenderSeconds(song, o.song.render), song.wait,
                JsonNumber(loudness.integrated_measured, loudness.integrated_lufs).c_str(),
                JsonNumber(loudness.integrated_measured, loudness.range_lu).c_str(),
                JsonNumber(!loudness.silent(), loudness.true_peak_dbtp).c_str(), loudness.seconds);
  json.insert(end, more);
  std::fputs(json.c_str(), stdout);
  return 0;
}

// Renders one file; false after printing a one-line message.
bool RenderOne(const Options& o, const org::ParsedSong& song, const exporting::ExportOptions& how,
               const std::string& out_path, bool warn, tools::ProgressBar* bar, int part) {
  const exporting::ExportResult result = exporting::ExportSong(
      song, o.songs[0], out_path, how, [&](double fraction) { bar->Update(part, fraction); });
  if (warn)
    for (const std::string& missing : result.missing_drums)
      std::fprintf(stderr, "org2wav: warning: drum file not found: %s\n", missing.c_str());
  if (!result.ok) {
    const bool about_output = result.error.rfind(out_path, 0) == 0;
    std::fprintf(stderr, "org2wav: %s%s\n", about_output ? "cannot write " : "",
                 about_output ? result.error.c_str() : (o.songs[0] + ": " + result.error).c_str());
    return false;
  }
  if (warn && how.replaygain && how.format == AudioFormat::kWav)
    std::fprintf(stderr, "org2wav: warning: WAV files have no ReplayGain tags; none written\n");
  if (how.normalize_lufs) {
    const std::string note = exporting::ShortOfTargetNote(result, *how.normalize_lufs);
    if (!note.empty())
      std::fprintf(stderr, "org2wav: note: %s: %s\n", out_path.c_str(), note.c_str());
  }
  return true;
}

int RenderOneSong(Options& o) {
  auto song = std::make_unique<org::ParsedSong>();
  if (!ReadSong(o.songs[0], song.get())) return 1;
  if (o.info) return Info(o, *song);
  if (song->wait == 0) {
    std::fprintf(stderr, "org2wav: %s: the song's step length is 0 ms\n", o.songs[0].c_str());
    return 1;
  }
  const bool known_format = ChooseFormat(o.out, &o);
  std::vector<int> stem_tracks;
  std::vector<std::string> outputs = {o.out};
  if (!o.stems.empty())
    for (int t = 0; t < org::kTrackCount; ++t)
      if (!song->tracks[t].events.empty()) {
        stem_tracks.push_back(t);
        outputs.push_back(StemPath(o.stems, t));
      }
  if (int status = CheckBeforeWork(o, o.songs[0], *song, outputs)) return status;
  if (!known_format) return UnknownExtension(o.out);
  if (!o.stems.empty() && !PrepareStemsFolder(o.stems)) return 1;
  render::WarnAboutWaveBank("org2wav", o.song.render.bank_path);
  o.song.render.builtin_drums =
      render::UseShippedDrums("org2wav", *song, o.songs[0], o.song.render.drums_folder);
  if (const std::string note = render::OutOfOrderNote(*song); !note.empty())
    std::fprintf(stderr, "org2wav: note: %s: %s\n", o.songs[0].c_str(), note.c_str());

  tools::ProgressBar bar(stderr, !o.quiet && isatty(2), 1 + static_cast<int>(stem_tracks.size()));
  if (!RenderOne(o, *song, o.song, o.out, true, &bar, 0)) return 1;
  exporting::ExportOptions stem = o.song;
  stem.format = AudioFormat::kWav;  // stems are for editing: always WAV, untagged, as rendered
  stem.tags = {};
  stem.loop_tags = false;
  stem.normalize_lufs.reset();
  stem.replaygain = false;
  for (size_t i = 0; i < stem_tracks.size(); ++i) {
    stem.render.muted_tracks = o.song.render.muted_tracks | (~(1u << stem_tracks[i]) & 0xFFFF);
    if (!RenderOne(o, *song, stem, StemPath(o.stems, stem_tracks[i]), false, &bar,
                   static_cast<int>(i) + 1))
      return 1;
  }
  return 0;
}

// The songs of a batch: the playlist's (with their titles) or those given.
bool CollectBatch(const Options& o, std::vector<exporting::BatchSong>* songs) {
  if (o.playlist.empty()) {
    for (const std::string& file : o.songs)
      songs->push_back(
          {file, std::filesystem::path(file).stem().string(), static_cast<int>(songs->size()) + 1});
    return true;
  }
  const platform::FileContents text = platform::ReadFileUpTo(o.playlist, org::kMaxPlaylistBytes);
  if (!text.ok()) {
    std::fprintf(stderr, "org2wav: cannot read %s\n",
                 text.error ? tools::DescribeFileError(o.playlist, text.error).c_str()
                            : (o.playlist + ": it " + text.why).c_str());
    return false;
  }
  if (text.cut_short)
    std::fprintf(stderr, "org2wav: %s is over %zu bytes: only the entries within them are read\n",
                 o.playlist.c_str(), org::kMaxPlaylistBytes);
  bool all_found = true;
  int place = 0;
  // Every entry is taken, however many (the game's own playlist stops at 120).
  for (const org::PlaylistEntry& entry :
       org::ParsePlaylist(text.bytes.data(), text.bytes.size(), SIZE_MAX)) {
    ++place;  // songs are numbered by their place in the playlist, found or not
    const std::string file = org::FindPlaylistSong(o.playlist, entry.path);
    if (file.empty()) {
      std::fprintf(stderr, "org2wav: %s: %s: no such song\n",
                   platform::PrintableText(o.playlist).c_str(),
                   platform::PrintableCp932(entry.path).c_str());
      all_found = false;
      continue;
    }
    songs->push_back({file, platform::Cp932ToUtf8(entry.title), place});
  }
  if (songs->empty()) std::fprintf(stderr, "org2wav: %s: no songs\n", o.playlist.c_str());
  return all_found && !songs->empty();
}

int RenderBatch(Options& o) {
  ChooseFormat("", &o);
  // In a batch --track gives the first song's number; the others follow in order.
  long long first_number = 1;
  if (!o.song.tags.track.empty() &&
      !tools::ParseWholeNumber(o.song.tags.track, 1, 9999, &first_number))
    return Usage("--track with --out-dir needs the first song's number, a whole number");
  o.song.tags.track.clear();
  std::vector<exporting::BatchSong> songs;
  const bool all_found = CollectBatch(o, &songs);
  if (songs.empty()) return 1;
  for (exporting::BatchSong& song : songs) song.number += static_cast<int>(first_number) - 1;
  if (!exporting::CanWrite(o.song.format, o.song.render.rate) ||
      !exporting::RateFits(o.song.format, o.song.render.rate)) {
    std::fprintf(stderr, "org2wav: this machine's libsndfile cannot write %s files at %d Hz\n",
                 exporting::FormatName(o.song.format), o.song.render.rate);
    return 1;
  }
  exporting::BatchOptions batch;
  batch.song = o.song;
  batch.out_dir = o.out_dir;
  batch.jobs = o.jobs > 0 ? o.jobs : exporting::ProcessorCount();
  batch.name_by_title = o.name_by_title;
  batch.show_progress = !o.quiet && isatty(2);
  render::WarnAboutWaveBank("org2wav", o.song.render.bank_path);
  const int status = exporting::RunBatch(songs, batch);
  return all_found ? status : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // The arguments as UTF-8 (on Windows from the wide command line).
  platform::ProgramArguments utf8_arguments(argc, argv);
  argc = utf8_arguments.argc();
  argv = utf8_arguments.argv();
  Options o;
  if (int status = ParseArguments(argc, argv, &o)) return status;
  tools::InstallSignalCleanup();
  return o.out_dir.empty() ? RenderOneSong(o) : RenderBatch(o);
}
