#include "tools/export/midi_export.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "org/melody_voice_set.h"

namespace exporting {
namespace {

constexpr int kDrumChannel = 9;  // channel 10
constexpr int kLoopController = 111;
constexpr int kDefaultVolume = 200;  // a track's volume until its first volume event

// One timed event of a track, ordered by time, then by `order` (notes off before on).
struct TimedEvent {
  int64_t tick = 0;
  int order = 0;
  std::vector<uint8_t> bytes;
};

void PutVariable(std::vector<uint8_t>* out, uint64_t value) {
  uint8_t stack[10];
  int n = 0;
  stack[n++] = value & 0x7F;
  while (value >>= 7) stack[n++] = static_cast<uint8_t>(0x80 | (value & 0x7F));
  while (n > 0) out->push_back(stack[--n]);
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int shift : {24, 16, 8, 0}) out->push_back(static_cast<uint8_t>(v >> shift));
}

void Put16(std::vector<uint8_t>* out, uint16_t v) {
  out->push_back(static_cast<uint8_t>(v >> 8));
  out->push_back(static_cast<uint8_t>(v));
}

std::vector<uint8_t> Meta(uint8_t type, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes = {0xFF, type};
  PutVariable(&bytes, data.size());
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

std::vector<uint8_t> Text(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> TrackChunk(std::vector<TimedEvent> events, int64_t end_tick) {
  std::stable_sort(events.begin(), events.end(), [](const TimedEvent& a, const TimedEvent& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  events.push_back(
      {std::max(end_tick, events.empty() ? 0 : events.back().tick), 99, Meta(0x2F, {})});
  std::vector<uint8_t> body;
  int64_t now = 0;
  for (const TimedEvent& e : events) {
    PutVariable(&body, static_cast<uint64_t>(e.tick - now));
    now = e.tick;
    body.insert(body.end(), e.bytes.begin(), e.bytes.end());
  }
  std::vector<uint8_t> chunk = {'M', 'T', 'r', 'k'};
  Put32(&chunk, static_cast<uint32_t>(body.size()));
  chunk.insert(chunk.end(), body.begin(), body.end());
  return chunk;
}

// The song's events played out in time: the intro and `loops` passes of the loop.
struct PlayedEvent {
  int64_t step = 0;
  org::OrgEvent event;
};

std::vector<PlayedEvent> PlayOut(const std::vector<org::OrgEvent>& events, int32_t loop_start,
                                 int32_t loop_end, int loops) {
  std::vector<PlayedEvent> played;
  const int64_t length = int64_t{loop_end} - loop_start;
  for (const org::OrgEvent& e : events)
    if (e.position < loop_end || length <= 0) played.push_back({e.position, e});
  if (length <= 0) return played;
  for (int pass = 1; pass < loops; ++pass)
    for (const org::OrgEvent& e : events)
      if (e.position >= loop_start && e.position < loop_end)
        played.push_back({e.position + pass * length, e});
  return played;
}

std::vector<uint8_t> Channel(uint8_t status, int channel, std::initializer_list<int> data) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(status | channel)};
  for (int d : data) bytes.push_back(static_cast<uint8_t>(std::clamp(d, 0, 127)));
  return bytes;
}

}  // namespace

int MidiProgramForWave(int wave) {
  struct Family {
    int last_wave;
    int program;
  };
  static constexpr Family kFamilies[] = {
      {0, 79},    // sine: ocarina
      {1, 79},    // triangle: ocarina
      {3, 81},    // saws: lead 2 (sawtooth)
      {11, 80},   // pulses: lead 1 (square)
      {19, 84},   // stepped and folded shapes: lead 5 (charang)
      {27, 16},   // organs: drawbar organ
      {35, 61},   // brass: brass section
      {43, 71},   // reeds and clarinets: clarinet
      {51, 48},   // strings: string ensemble 1
      {55, 73},   // flutes: flute
      {59, 14},   // bells: tubular bells
      {79, 89},   // mixtures: pad 2 (warm)
      {99, 122},  // noise tables: seashore
  };
  for (const Family& family : kFamilies)
    if (wave <= family.last_wave) return family.program;
  return 80;
}

int MidiDrumNoteForDrum(int drum) {
  static constexpr int kNotes[28] = {
      36,  // Bass01: bass drum 1
      35,  // Bass02: acoustic bass drum
      38,  // Snare01: acoustic snare
      40,  // Snare02: electric snare
      45,  // Tom01: low tom
      42,  // HiClose: closed hi-hat
      46,  // HiOpen: open hi-hat
      49,  // Crash: crash cymbal 1
      75,  // Per01: claves
      76,  // Per02: hi wood block
      36,  // Bass03
      47,  // Tom02: low-mid tom
      35,  // Bass04
      36,  // Bass05
      38,  // Snare03
      40,  // Snare04
      42,  // HiClose02
      46,  // HiOpen02
      44,  // HiClose03: pedal hi-hat
      46,  // HiOpen03
      57,  // Crash02: crash cymbal 2
      55,  // RevSym01: splash cymbal
      51,  // Ride01: ride cymbal 1
      48,  // Tom03: hi-mid tom
      50,  // Tom04: high tom
      39,  // OrcDrm01: hand clap (an orchestral hit has no drum note)
      53,  // Bell: ride bell
      54,  // Cat: tambourine (nothing meows in General MIDI)
  };
  return drum >= 0 && drum < 28 ? kNotes[drum] : 38;
}

int MidiVolume(int org_volume) {
  return std::clamp(static_cast<int>(std::lround(org_volume * 127.0 / 254.0)), 1, 127);
}

int MidiPan(int org_pan) {
  return std::clamp(static_cast<int>(std::lround(org_pan * 64.0 / 6.0)), 0, 127);
}

int PitchBendFor(int key, uint16_t finetune) {
  const int octave = std::clamp(key / 12, 0, 7);
  const int semitone = key % 12;
  const double tuned = org::MelodyRate(octave, semitone, finetune);
  const double plain = org::MelodyRate(octave, semitone, 1000);
  if (tuned <= 0 || plain <= 0) return 8192;
  const double cents = 1200 * std::log2(tuned / plain);
  return std::clamp(static_cast<int>(std::lround(8192 + cents / 200 * 8192)), 0, 16383);
}

std::vector<uint8_t> SongToMidi(const org::ParsedSong& song, int loops) {
  loops = std::max(loops, 1);
  const int64_t loop_length = int64_t{song.loop_end} - song.loop_start;
  const bool has_loop = song.loop_end > 0 && loop_length > 0;
  const int64_t end_step = has_loop ? song.loop_end + (loops - 1) * loop_length : 0;
  std::vector<std::vector<uint8_t>> tracks;

  // The conductor: tempo, time signature, loop markers.
  std::vector<TimedEvent> conductor;
  const int steps_per_beat = std::max<int>(song.meter[1], 1);
  const uint32_t quarter_us = static_cast<uint32_t>(song.wait) * 1000u * steps_per_beat;
  conductor.push_back({0, 0, Meta(0x03, Text("Org song"))});
  conductor.push_back(
      {0, 1,
       Meta(0x51, {static_cast<uint8_t>(quarter_us >> 16), static_cast<uint8_t>(quarter_us >> 8),
                   static_cast<uint8_t>(quarter_us)})});
  conductor.push_back(
      {0, 2, Meta(0x58, {static_cast<uint8_t>(std::max<int>(song.meter[0], 1)), 2, 24, 8})});
  if (has_loop) {
    conductor.push_back(
        {int64_t{song.loop_start} * kTicksPerStep, 3, Meta(0x06, Text("loopStart"))});
    conductor.push_back({int64_t{song.loop_end} * kTicksPerStep, 3, Meta(0x06, Text("loopEnd"))});
  }
  int64_t last_tick = end_step * kTicksPerStep;

  for (int t = 0; t < org::kTrackCount; ++t) {
    const org::ParsedSong::Track& track = song.tracks[t];
    const bool drums = t >= org::kMelodyTracks;
    const int channel = drums ? kDrumChannel : t;
    std::vector<PlayedEvent> played =
        PlayOut(track.events, song.loop_start, song.loop_end, has_loop ? loops : 1);
    if (std::none_of(played.begin(), played.end(),
                     [](const PlayedEvent& p) { return p.event.key != org::kNoValue; }))
      continue;
    std::vector<TimedEvent> events;
    events.push_back({0, 0, Meta(0x03, Text((drums ? "Drums " : "Melody ") + std::to_string(t)))});
    if (!drums) {
      events.push_back({0, 1, Channel(0xC0, channel, {MidiProgramForWave(track.wave)})});
      // Pitch bend range: 2 semitones (RPN 0), then the RPN closed.
      for (auto [controller, value] : {std::pair{101, 0}, std::pair{100, 0}, std::pair{6, 2},
                                       std::pair{38, 0}, std::pair{101, 127}, std::pair{100, 127}})
        events.push_back({0, 2, Channel(0xB0, channel, {controller, value})});
    }
    if (has_loop)
      events.push_back({int64_t{song.loop_start} * kTicksPerStep, 3,
                        Channel(0xB0, channel, {kLoopController, 0})});
    // A track plays one note at a time: a note ends at its length, or where the next begins.
    std::vector<int64_t> note_starts;
    for (const PlayedEvent& p : played)
      if (p.event.key != org::kNoValue && p.event.length > 0) note_starts.push_back(p.step);
    size_t next_note = 0;
    int volume = kDefaultVolume;
    for (const PlayedEvent& p : played) {
      const int64_t tick = p.step * kTicksPerStep;
      const org::OrgEvent& e = p.event;
      if (e.volume != org::kNoValue) {
        volume = e.volume;
        events.push_back({tick, 4, Channel(0xB0, channel, {7, MidiVolume(volume)})});
      }
      if (e.pan != org::kNoValue)
        events.push_back({tick, 4, Channel(0xB0, channel, {10, MidiPan(e.pan)})});
      if (e.key == org::kNoValue || e.length == 0) continue;
      ++next_note;
      const int note = drums ? MidiDrumNoteForDrum(track.wave) : e.key + 24;
      if (!drums) {
        const int bend = PitchBendFor(e.key, track.finetune);
        events.push_back({tick, 5, Channel(0xE0, channel, {bend & 0x7F, bend >> 7})});
      }
      int64_t end_step = p.step + e.length;
      if (next_note < note_starts.size()) end_step = std::min(end_step, note_starts[next_note]);
      const int64_t off = end_step * kTicksPerStep;
      events.push_back({tick, 6, Channel(0x90, channel, {note, MidiVolume(volume)})});
      // A note off comes before a note on at the same tick (order 0 < 6).
      events.push_back({off, 0, Channel(0x80, channel, {note, 0})});
      last_tick = std::max(last_tick, off);
    }
    tracks.push_back(TrackChunk(std::move(events), 0));
  }
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd'};
  Put32(&file, 6);
  Put16(&file, 1);
  Put16(&file, static_cast<uint16_t>(tracks.size() + 1));
  Put16(&file, static_cast<uint16_t>(kTicksPerStep * steps_per_beat));
  const std::vector<uint8_t> conductor_chunk = TrackChunk(std::move(conductor), last_tick);
  file.insert(file.end(), conductor_chunk.begin(), conductor_chunk.end());
  for (const std::vector<uint8_t>& track : tracks)
    file.insert(file.end(), track.begin(), track.end());
  return file;
}

}  // namespace exporting
