#include "tools/render/song_info.h"

#include <cstdarg>
#include <cstdio>

#include "org/org_format.h"
#include "org/song_loop.h"

namespace render {
namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

// The song's intro, and the lead before it (see org::IntroSteps): the loop first sounds after both.
double IntroSeconds(const org::ParsedSong& song) {
  return org::IntroSteps(song) * song.wait / 1000.0;
}
double LeadSeconds(const org::ParsedSong& song) { return org::kLeadSteps * song.wait / 1000.0; }
double LoopSeconds(const org::ParsedSong& song) {
  return (static_cast<double>(song.loop_end) - song.loop_start) * song.wait / 1000.0;
}

std::string DrumName(int wave) {
  const char* file = org::DrumFileName(wave);
  return file ? std::string(file + 4) : "(none)";
}

}  // namespace

std::string SongInfoText(const org::ParsedSong& song, const std::string& after_times) {
  std::string out = Format("version    Org-0%d\nwait       %d ms per step\nmeter      %d/%d\n",
                           song.version, song.wait, song.meter[0], song.meter[1]);
  out += Format("loop       steps %d to %d\nintro      %.2f s after a lead of %.2f s\n",
                song.loop_start, song.loop_end, IntroSeconds(song), LeadSeconds(song));
  out += Format("loop time  %.2f s\n", LoopSeconds(song));
  out += after_times;
  for (int t = 0; t < org::kTrackCount; ++t) {
    const org::ParsedSong::Track& track = song.tracks[t];
    if (t < org::kMelodyTracks) {
      out += Format("track %2d   wave %3d  finetune %4d  %-9s %4u events\n", t, track.wave,
                    track.finetune, track.one_shot ? "one-shot" : "sustained",
                    static_cast<unsigned>(track.events.size()));
    } else {
      out += Format("track %2d   drum %3d  %-24s %4u events\n", t, track.wave,
                    DrumName(track.wave).c_str(), static_cast<unsigned>(track.events.size()));
    }
  }
  return out;
}

std::string SongInfoJson(const org::ParsedSong& song) {
  std::string out = Format(
      "{\"version\": %d, \"wait_ms\": %d, \"meter\": [%d, %d], \"loop_start\": %d, "
      "\"loop_end\": %d, \"lead_seconds\": %.3f, \"intro_seconds\": %.3f, \"loop_seconds\": %.3f, "
      "\"tracks\": [",
      song.version, song.wait, song.meter[0], song.meter[1], song.loop_start, song.loop_end,
      LeadSeconds(song), IntroSeconds(song), LoopSeconds(song));
  for (int t = 0; t < org::kTrackCount; ++t) {
    const org::ParsedSong::Track& track = song.tracks[t];
    out += Format(
        "%s{\"track\": %d, \"kind\": \"%s\", \"wave\": %d, \"finetune\": %d, "
        "\"one_shot\": %s, \"events\": %u}",
        t ? ", " : "", t, t < org::kMelodyTracks ? "melody" : "drum", track.wave, track.finetune,
        track.one_shot ? "true" : "false", static_cast<unsigned>(track.events.size()));
  }
  return out + "]}\n";
}

}  // namespace render
