#include "tools/import/midi_import.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <map>

#include "tools/export/midi_export.h"

namespace importing {
namespace {

constexpr int kDrumChannel = 9;             // channel 10
constexpr int kKeyOffset = 24;              // Org key 0 is MIDI note 24 (org2mid's mapping)
constexpr int kKeys = 96;                   // melody keys 0..95
constexpr uint8_t kDrumKey = 27;            // 21,700 Hz: about the drum samples' own rate
constexpr uint32_t kDefaultTempo = 500000;  // microseconds a quarter note: 120 a minute
constexpr int kMaxLength = 255;             // steps a note's length byte holds

// One note of the file, in ticks.
struct MidiNote {
  int64_t start = 0;
  int64_t end = 0;
  int channel = 0;
  int track = 0;  // the MIDI track it came from
  int note = 0;
  int velocity = 0;
  int pan = -1;      // controller 10 when the note began; -1: never set
  int program = -1;  // the channel's program when the note began; -1: never set
};

struct TempoChange {
  int64_t tick = 0;
  uint32_t microseconds = 0;
};

struct MidiContent {
  int division = 0;  // ticks a quarter note
  std::vector<MidiNote> notes;
  std::vector<TempoChange> tempos;
  int beats_per_bar = 0;
  int64_t loop_start = -1;  // ticks of the markers, -1: none
  int64_t loop_end = -1;
  int64_t last_tick = 0;
};

// A bounds-checked big-endian reader over the file.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }
  size_t at() const { return at_; }
  size_t left() const { return size_ - at_; }
  uint8_t U8() {
    if (at_ >= size_) return Fail();
    return data_[at_++];
  }
  uint8_t Peek() const { return at_ < size_ ? data_[at_] : 0; }
  uint32_t Big(int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | U8();
    return v;
  }
  uint32_t Variable() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const uint8_t b = U8();
      v = (v << 7) | (b & 0x7F);
      if (!(b & 0x80)) return v;
    }
    ok_ = false;
    return 0;
  }
  void Skip(size_t n) {
    if (n > left()) {
      at_ = size_;
      ok_ = false;
    } else {
      at_ += n;
    }
  }
  std::string Text(size_t n) {
    if (n > left()) {
      Skip(n);
      return {};
    }
    std::string s(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return s;
  }

 private:
  uint8_t Fail() {
    ok_ = false;
    return 0;
  }
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
  bool ok_ = true;
};

// What one MIDI track's events say, added to `content`.
class TrackReader {
 public:
  TrackReader(MidiContent* content, int track) : content_(content), track_(track) {}

  bool Read(Bytes& in, size_t end, std::string* error) {
    int64_t tick = 0;
    uint8_t status = 0;
    while (in.ok() && in.at() < end) {
      tick += in.Variable();
      uint8_t byte = in.Peek();
      if (byte & 0x80) {
        in.U8();
        status = byte;
      } else if (status == 0) {
        *error = "a track's event has no status byte";
        return false;
      }
      if (status == 0xFF) {
        Meta(in, tick);
        status = 0;
      } else if (status == 0xF0 || status == 0xF7) {
        in.Skip(in.Variable());
        status = 0;
      } else {
        Channel(in, tick, status);
      }
    }
    content_->last_tick = std::max(content_->last_tick, tick);
    // Notes still on at the track's end end there.
    for (auto& [key, starts] : open_)
      for (const MidiNote& note : starts) Finish(note, tick);
    return in.ok();
  }

 private:
  void Meta(Bytes& in, int64_t tick) {
    const uint8_t type = in.U8();
    const uint32_t length = in.Variable();
    if (type == 0x51 && length == 3) {
      content_->tempos.push_back({tick, in.Big(3)});
    } else if (type == 0x58 && length >= 1) {
      const int beats = in.U8();
      in.Skip(length - 1);
      if (content_->beats_per_bar == 0 && beats > 0) content_->beats_per_bar = beats;
    } else if (type == 0x06 || type == 0x01) {
      const std::string text = in.Text(length);
      if (text == "loopStart" && content_->loop_start < 0) content_->loop_start = tick;
      if (text == "loopEnd" && content_->loop_end < 0) content_->loop_end = tick;
    } else {
      in.Skip(length);
    }
  }

  void Channel(Bytes& in, int64_t tick, uint8_t status) {
    const int kind = status & 0xF0;
    const int channel = status & 0x0F;
    const int a = in.U8() & 0x7F;
    const int b = (kind == 0xC0 || kind == 0xD0) ? 0 : in.U8() & 0x7F;
    if (kind == 0x90 && b > 0) {
      MidiNote note;
      note.start = tick;
      note.channel = channel;
      note.track = track_;
      note.note = a;
      note.velocity = b;
      note.pan = pan_[channel];
      note.program = program_[channel];
      open_[channel * 128 + a].push_back(note);
    } else if (kind == 0x80 || kind == 0x90) {
      std::deque<MidiNote>& starts = open_[channel * 128 + a];
      if (starts.empty()) return;
      Finish(starts.front(), tick);
      starts.pop_front();
    } else if (kind == 0xB0 && a == 10) {
      pan_[channel] = b;
    } else if (kind == 0xC0) {
      program_[channel] = a;
    }
  }

  void Finish(MidiNote note, int64_t tick) {
    note.end = tick;
    content_->notes.push_back(note);
  }

  MidiContent* content_;
  int track_;
  std::map<int, std::deque<MidiNote>> open_;  // notes on, by channel and note
  std::array<int, 16> pan_ = [] {
    std::array<int, 16> a{};
    a.fill(-1);
    return a;
  }();
  std::array<int, 16> program_ = pan_;
};

bool ReadMidi(const uint8_t* data, size_t size, MidiContent* content, std::string* error) {
  Bytes in(data, size);
  if (size < 14 || in.Text(4) != "MThd") {
    *error = "not a MIDI file (no MThd header)";
    return false;
  }
  const uint32_t header = in.Big(4);
  const int format = static_cast<int>(in.Big(2));
  const int tracks = static_cast<int>(in.Big(2));
  const int division = static_cast<int>(in.Big(2));
  if (header < 6 || !in.ok()) {
    *error = "a damaged MIDI header";
    return false;
  }
  in.Skip(header - 6);
  if (format > 1) {
    *error = "a MIDI file of format " + std::to_string(format) + " (format 0 or 1 is read)";
    return false;
  }
  if (division & 0x8000 || division == 0) {
    *error = "a MIDI file timed in SMPTE frames (ticks a quarter note are read)";
    return false;
  }
  content->division = division;
  for (int t = 0; t < tracks && in.left() >= 8; ++t) {
    const std::string id = in.Text(4);
    const uint32_t length = in.Big(4);
    if (length > in.left()) {
      *error = "MIDI track " + std::to_string(t) + " runs past the file's end";
      return false;
    }
    if (id != "MTrk") {
      in.Skip(length);
      continue;
    }
    TrackReader reader(content, t);
    Bytes chunk(data + in.at(), length);
    if (!reader.Read(chunk, length, error)) {
      if (error->empty()) *error = "MIDI track " + std::to_string(t) + " is damaged";
      return false;
    }
    in.Skip(length);
  }
  std::stable_sort(content->notes.begin(), content->notes.end(),
                   [](const MidiNote& a, const MidiNote& b) {
                     return a.start != b.start ? a.start < b.start : a.note > b.note;
                   });
  std::stable_sort(content->tempos.begin(), content->tempos.end(),
                   [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  return true;
}

// Ticks to steps on the grid; `moved` set when the tick lay off it.
int64_t ToStep(int64_t tick, int division, int steps_per_beat, bool* moved) {
  const int64_t scaled = tick * steps_per_beat;
  if (scaled % division != 0) *moved = true;
  return (scaled + division / 2) / division;
}

// A track being filled: its events, and the step its last note sounds until.
struct TrackFill {
  int owner = -1;  // the channel (melody) or the drum group (drums) it belongs to; -1: free
  int64_t busy_until = INT64_MIN;
  int64_t last_step = INT64_MIN;
  int volume = -1;
  int pan = -1;
  std::vector<org::OrgEvent> events;
};

uint8_t OrgVolume(int velocity) {
  return static_cast<uint8_t>(
      std::clamp(static_cast<int>(std::lround(velocity * 254.0 / 127.0)), 0, 254));
}

uint8_t OrgPan(int controller) {
  return static_cast<uint8_t>(
      std::clamp(static_cast<int>(std::lround(controller * 6.0 / 64.0)), 0, 12));
}

// Adds a note to a track, with a volume or pan only where they change.
void Place(TrackFill* fill, int64_t step, uint8_t key, int length, const MidiNote& note) {
  org::OrgEvent e;
  e.position = static_cast<int32_t>(step);
  e.key = key;
  e.length = static_cast<uint8_t>(length);
  const uint8_t volume = OrgVolume(note.velocity);
  if (volume != fill->volume) e.volume = volume;
  fill->volume = volume;
  if (note.pan >= 0 && OrgPan(note.pan) != fill->pan) {
    e.pan = OrgPan(note.pan);
    fill->pan = e.pan;
  }
  fill->events.push_back(e);
  fill->last_step = step;
  fill->busy_until = step + length;
}

// The track for a note among `fills[first..first+count)`: one its owner has that is free by
// `step` (INT64_MAX: the owner's first, busy or not), else the owner's `home` track if nobody
// has it, else the first nobody has that is no other channel's home (`homes`), else any that
// nobody has; -1 when none is left.
int ChooseTrack(std::vector<TrackFill>& fills, int first, int count, int owner, int home,
                int64_t step, unsigned homes) {
  for (int t = first; t < first + count; ++t)
    if (fills[t].owner == owner && fills[t].busy_until <= step) return t;
  if (home >= first && home < first + count && fills[home].owner < 0) return home;
  for (int pass = 0; pass < 2; ++pass)
    for (int t = first; t < first + count; ++t)
      if (fills[t].owner < 0 && (pass == 1 || !(homes >> t & 1))) return t;
  return -1;
}

void Say(MidiImportReport* report, const std::string& line) { report->lines.push_back(line); }

void WriteReport(const org::ParsedSong& song, int steps_per_beat, MidiImportReport* r) {
  Say(r, std::to_string(r->notes_imported) + " of " + std::to_string(r->notes_in_file) +
             " notes imported onto " + std::to_string(r->melody_tracks) + " melody and " +
             std::to_string(r->drum_tracks) + " drum tracks, " + std::to_string(steps_per_beat) +
             " steps a beat");
  char tempo[160];
  std::snprintf(tempo, sizeof tempo,
                "wait %d ms a step, from the first tempo (%.2f beats a minute)", song.wait,
                r->first_tempo_bpm);
  Say(r, tempo);
  if (r->tempo_changes_ignored > 0)
    Say(r, std::to_string(r->tempo_changes_ignored) +
               " later tempo change(s) ignored (an Org song keeps one tempo), the first at step " +
               std::to_string(r->first_ignored_tempo_step));
  if (r->moved_to_grid > 0) Say(r, std::to_string(r->moved_to_grid) + " note(s) moved to the grid");
  if (r->dropped_no_track > 0)
    Say(r, std::to_string(r->dropped_no_track) + " note(s) dropped for want of a track");
  if (r->dropped_after_loop > 0)
    Say(r, std::to_string(r->dropped_after_loop) +
               " note(s) from the loop end on left out (the loop written out again)");
  if (r->merged_on_step > 0)
    Say(r,
        std::to_string(r->merged_on_step) + " note(s) dropped on a step their track already plays");
  if (r->moved_by_octave > 0)
    Say(r, std::to_string(r->moved_by_octave) + " note(s) moved by octaves into the keys C0-B7");
  if (r->shortened > 0) Say(r, std::to_string(r->shortened) + " note(s) shortened to 255 steps");
  if (r->drums_substituted > 0)
    Say(r, std::to_string(r->drums_substituted) +
               " drum note(s) with no drum of their own played by the nearest");
  Say(r, "loop from step " + std::to_string(song.loop_start) + " to step " +
             std::to_string(song.loop_end));
}

}  // namespace

int WaveForMidiProgram(int program) {
  // A program of each General MIDI family that some waveform gives.
  static constexpr int kFamilyProgram[16] = {80, 14, 16, 84, 81, 48, 48, 61,
                                             71, 73, 80, 89, 89, 84, 14, 122};
  program = std::clamp(program, 0, 127);
  for (int pass = 0; pass < 2; ++pass) {
    const int wanted = pass == 0 ? program : kFamilyProgram[program / 8];
    for (int wave = 0; wave < 100; ++wave)
      if (exporting::MidiProgramForWave(wave) == wanted) return wave;
  }
  return 0;
}

int DrumForMidiNote(int note, bool* exact) {
  // The nearest note some drum is written as (a tie goes to the higher note), then its first drum.
  int nearest = -1;
  for (int drum = 0; drum < org::kDrumSampleCount; ++drum) {
    const int candidate = exporting::MidiDrumNoteForDrum(drum);
    const int distance = std::abs(candidate - note);
    const int best = nearest < 0 ? 1000 : std::abs(nearest - note);
    if (distance < best || (distance == best && candidate > nearest)) nearest = candidate;
  }
  if (exact) *exact = nearest == note;
  for (int drum = 0; drum < org::kDrumSampleCount; ++drum)
    if (exporting::MidiDrumNoteForDrum(drum) == nearest) return drum;
  return 0;
}

bool ImportMidi(const uint8_t* data, size_t size, int steps_per_beat, org::ParsedSong* song,
                MidiImportReport* report, std::string* error) {
  *report = MidiImportReport{};
  if (steps_per_beat < 1 || steps_per_beat > 32) {
    *error = "the steps per beat must be 1 to 32";
    return false;
  }
  MidiContent midi;
  if (!ReadMidi(data, size, &midi, error)) return false;
  const int division = midi.division;
  *song = org::ParsedSong{};
  song->version = 2;
  song->meter[0] = static_cast<uint8_t>(midi.beats_per_bar > 0 ? midi.beats_per_bar : 4);
  song->meter[1] = static_cast<uint8_t>(steps_per_beat);

  // The tempo: the first, the rest reported.
  const uint32_t tempo = midi.tempos.empty() ? kDefaultTempo : midi.tempos.front().microseconds;
  song->wait = static_cast<uint16_t>(
      std::clamp<long>(std::lround(tempo / 1000.0 / steps_per_beat), 1, 65535));
  report->first_tempo_bpm = tempo > 0 ? 60e6 / tempo : 0;
  uint32_t current = tempo;
  for (size_t i = 1; i < midi.tempos.size(); ++i) {
    if (midi.tempos[i].microseconds == current) continue;
    current = midi.tempos[i].microseconds;
    if (report->tempo_changes_ignored++ == 0) {
      bool ignored = false;
      report->first_ignored_tempo_step =
          ToStep(midi.tempos[i].tick, division, steps_per_beat, &ignored);
    }
  }

  // The loop.
  bool unused = false;
  auto loop_step = [&](int64_t tick) {
    return std::min<int64_t>(ToStep(tick, division, steps_per_beat, &unused), INT32_MAX);
  };
  const int64_t loop_start_step = midi.loop_start >= 0 ? loop_step(midi.loop_start) : -1;
  const bool marked =
      loop_start_step >= 0 && midi.loop_end >= 0 && loop_step(midi.loop_end) > loop_start_step;
  const int64_t loop_end_step = marked ? loop_step(midi.loop_end) : INT64_MAX;

  std::vector<TrackFill> fills(org::kTrackCount);
  unsigned homes = 0;  // melody tracks that are the home of a channel with notes
  for (const MidiNote& note : midi.notes)
    if (note.channel < org::kMelodyTracks) homes |= 1u << note.channel;
  std::map<std::pair<int, int>, int> drum_groups;  // (MIDI track, drum) to a group number
  int64_t last_step = 0;
  for (const MidiNote& note : midi.notes) {
    ++report->notes_in_file;
    bool moved = false;
    const int64_t start = ToStep(note.start, division, steps_per_beat, &moved);
    const int64_t end = ToStep(note.end, division, steps_per_beat, &moved);
    if (start >= loop_end_step) {
      ++report->dropped_after_loop;
      continue;
    }
    if (start > INT32_MAX - kMaxLength) {
      ++report->dropped_no_track;
      continue;
    }
    if (moved) ++report->moved_to_grid;
    int length = static_cast<int>(std::clamp<int64_t>(end - start, 1, 1 << 20));
    if (length > kMaxLength) {
      ++report->shortened;
      length = kMaxLength;
    }
    const bool drum_note = note.channel == kDrumChannel;
    int t;
    int owner;
    int instrument;
    uint8_t key;
    if (drum_note) {
      bool exact = false;
      instrument = DrumForMidiNote(note.note, &exact);
      if (!exact) ++report->drums_substituted;
      // Each drum of each MIDI track keeps a track of its own; its hits never overlap there.
      owner =
          drum_groups.emplace(std::pair{note.track, instrument}, drum_groups.size()).first->second;
      t = ChooseTrack(fills, org::kMelodyTracks, org::kDrumSlots, owner, -1, INT64_MAX, 0);
      key = kDrumKey;
      length = 1;
    } else {
      int k = note.note - kKeyOffset;
      if (k < 0 || k >= kKeys) {
        ++report->moved_by_octave;
        while (k < 0) k += 12;
        while (k >= kKeys) k -= 12;
      }
      key = static_cast<uint8_t>(k);
      owner = note.channel;
      instrument = WaveForMidiProgram(note.program < 0 ? 0 : note.program);
      t = ChooseTrack(fills, 0, org::kMelodyTracks, owner, note.channel, start, homes);
    }
    if (t < 0) {
      ++report->dropped_no_track;
      continue;
    }
    if (fills[t].last_step >= start) {  // a drum hit again on its step
      ++report->merged_on_step;
      continue;
    }
    if (fills[t].owner < 0) {
      fills[t].owner = owner;
      song->tracks[t].wave = static_cast<uint8_t>(instrument);
    }
    Place(&fills[t], start, key, length, note);
    ++report->notes_imported;
    last_step = std::max(last_step, start + length);
  }
  for (int t = 0; t < org::kTrackCount; ++t) {
    std::vector<org::OrgEvent>& events = fills[t].events;
    if (events.size() > static_cast<size_t>(org::kNoteCapacity)) {
      report->dropped_no_track += static_cast<int>(events.size()) - org::kNoteCapacity;
      report->notes_imported -= static_cast<int>(events.size()) - org::kNoteCapacity;
      events.resize(org::kNoteCapacity);
    }
    if (!events.empty()) ++(t < org::kMelodyTracks ? report->melody_tracks : report->drum_tracks);
    song->tracks[t].events = std::move(events);
  }
  if (marked) {
    song->loop_start = static_cast<int32_t>(loop_start_step);
    song->loop_end = static_cast<int32_t>(loop_end_step);
  } else {
    const int64_t bar = int64_t{song->meter[0]} * steps_per_beat;
    const int64_t end =
        std::max(ToStep(midi.last_tick, division, steps_per_beat, &unused), last_step);
    song->loop_start = 0;
    song->loop_end = static_cast<int32_t>(
        std::min<int64_t>(std::max<int64_t>((end + bar - 1) / bar * bar, bar), INT32_MAX));
  }
  WriteReport(*song, steps_per_beat, report);
  return true;
}

}  // namespace importing
