#include "tools/render/song_info.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
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

// In doubles: 40000 steps of 65535 ms are 2,621,400 s, far past what an int holds in ms.
double StepSeconds(const org::ParsedSong& song, int64_t steps) {
  return static_cast<double>(steps) * song.wait / 1000.0;
}

// The song's intro, and the lead before it (see org::IntroSteps): the loop first sounds after
// both. One pass of the loop as playback goes round it (org::LoopOf: at least one step).
double IntroSeconds(const org::ParsedSong& song) {
  return StepSeconds(song, org::IntroSteps(song));
}
double LeadSeconds(const org::ParsedSong& song) { return StepSeconds(song, org::kLeadSteps); }
double LoopSeconds(const org::ParsedSong& song) {
  return StepSeconds(song, org::LoopOf(song).loop_steps);
}

std::string IntroNote(const org::ParsedSong& song) {
  if (song.loop_start < 0 && song.loop_start < song.loop_end)
    return "  (the loop starts before step 0: the song enters it by its first jump back)";
  return {};
}

std::string LoopNote(const org::ParsedSong& song) {
  if (song.loop_end <= song.loop_start)
    return Format("  (the loop ends at or before its start: step %d repeats alone)",
                  song.loop_start);
  return {};
}

std::string DrumName(int wave) {
  const char* file = org::DrumFileName(wave);
  return file ? std::string(file + 4) : "(none)";
}

}  // namespace

int OutOfOrderEvents(const org::ParsedSong::Track& track) {
  int count = 0;
  for (size_t i = 1; i < track.events.size(); ++i)
    if (track.events[i].position <= track.events[i - 1].position) ++count;
  return count;
}

std::string OutOfOrderNote(const org::ParsedSong& song) {
  std::string tracks;
  for (int t = 0; t < org::kTrackCount; ++t)
    if (OutOfOrderEvents(song.tracks[t]))
      tracks += (tracks.empty() ? "" : ", ") + std::to_string(t);
  if (tracks.empty()) return {};
  return "track" + std::string(tracks.find(',') == std::string::npos ? " " : "s ") + tracks +
         ": events out of step order (at or before the step of the one ahead of them) hold their "
         "track until the loop comes round, as the game plays them";
}

std::string SongInfoText(const org::ParsedSong& song, const std::string& after_times) {
  std::string out = Format("version    Org-0%d\nwait       %d ms per step\nmeter      %d/%d\n",
                           song.version, song.wait, song.meter[0], song.meter[1]);
  out += Format("loop       steps %d to %d\nintro      %.2f s after a lead of %.2f s%s\n",
                song.loop_start, song.loop_end, IntroSeconds(song), LeadSeconds(song),
                IntroNote(song).c_str());
  out += Format("loop time  %.2f s%s\n", LoopSeconds(song), LoopNote(song).c_str());
  out += after_times;
  for (int t = 0; t < org::kTrackCount; ++t) {
    const org::ParsedSong::Track& track = song.tracks[t];
    if (t < org::kMelodyTracks) {
      out += Format("track %2d   wave %3d  finetune %4d  %-9s %4u events", t, track.wave,
                    track.finetune, track.one_shot ? "one-shot" : "sustained",
                    static_cast<unsigned>(track.events.size()));
    } else {
      out += Format("track %2d   drum %3d  %-24s %4u events", t, track.wave,
                    DrumName(track.wave).c_str(), static_cast<unsigned>(track.events.size()));
    }
    const int out_of_order = OutOfOrderEvents(track);
    out += out_of_order ? Format(", %d out of step order\n", out_of_order) : "\n";
  }
  const std::string note = OutOfOrderNote(song);
  if (!note.empty()) out += "note       " + note + "\n";
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
        "\"one_shot\": %s, \"events\": %u, \"out_of_order\": %d}",
        t ? ", " : "", t, t < org::kMelodyTracks ? "melody" : "drum", track.wave, track.finetune,
        track.one_shot ? "true" : "false", static_cast<unsigned>(track.events.size()),
        OutOfOrderEvents(track));
  }
  return out + "]}\n";
}

}  // namespace render
