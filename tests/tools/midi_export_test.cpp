// org2mid: its Standard MIDI File read back by a reader of this test's own, and played by an
// independent consumer (TiMidity++ with freepats), whose pitches and onsets must be the song's.
#include "tools/export/midi_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

#include "org/melody_voice_set.h"
#include "org/org_format.h"
#include "test_support/program_run.h"
#include "test_support/scratch_directory.h"

namespace {

using test_support::ProgramRun;
using test_support::ScratchDirectory;

// A second reader: chunks, delta times, running status, meta and channel events.
struct MidiEvent {
  int64_t tick = 0;
  uint8_t status = 0;  // 0xFF for meta
  uint8_t meta = 0;
  std::vector<uint8_t> data;
};
struct MidiFile {
  int format = -1;
  int division = 0;
  std::vector<std::vector<MidiEvent>> tracks;
};

uint32_t Big(const std::string& s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
  return v;
}

MidiFile ReadMidi(const std::string& bytes) {
  MidiFile file;
  if (bytes.compare(0, 4, "MThd") != 0 || Big(bytes, 4, 4) != 6) return file;
  file.format = static_cast<int>(Big(bytes, 8, 2));
  const int count = static_cast<int>(Big(bytes, 10, 2));
  file.division = static_cast<int>(Big(bytes, 12, 2));
  size_t at = 14;
  for (int t = 0; t < count && at + 8 <= bytes.size(); ++t) {
    EXPECT_EQ(bytes.substr(at, 4), "MTrk");
    const size_t end = at + 8 + Big(bytes, at + 4, 4);
    at += 8;
    std::vector<MidiEvent> events;
    int64_t tick = 0;
    uint8_t running = 0;
    while (at < end) {
      uint32_t delta = 0;
      uint8_t b = 0;
      do {
        b = static_cast<uint8_t>(bytes[at++]);
        delta = (delta << 7) | (b & 0x7F);
      } while (b & 0x80);
      tick += delta;
      MidiEvent e;
      e.tick = tick;
      uint8_t status = static_cast<uint8_t>(bytes[at]);
      if (status & 0x80) {
        ++at;
      } else {
        status = running;
      }
      e.status = status;
      if (status == 0xFF) {
        e.meta = static_cast<uint8_t>(bytes[at++]);
        uint32_t length = 0;
        do {
          b = static_cast<uint8_t>(bytes[at++]);
          length = (length << 7) | (b & 0x7F);
        } while (b & 0x80);
        e.data.assign(bytes.begin() + static_cast<long>(at),
                      bytes.begin() + static_cast<long>(at + length));
        at += length;
      } else {
        running = status;
        const int size = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
        e.data.assign(bytes.begin() + static_cast<long>(at),
                      bytes.begin() + static_cast<long>(at + size));
        at += static_cast<size_t>(size);
      }
      events.push_back(e);
    }
    file.tracks.push_back(events);
  }
  return file;
}

TEST(MidiExportTest, TheFileHoldsTheSongsTempoLoopTracksAndNotes) {
  ScratchDirectory dir;
  const std::string song_path = PROJECT_SOURCE_DIR "/data/Org/Twinkle.org";
  const ProgramRun run = test_support::RunProgram(
      ORG2MID_PATH, "--loops 1 " + song_path + " " + dir.Join("twinkle.mid"));
  ASSERT_EQ(run.status, 0) << run.output;
  const MidiFile midi = ReadMidi(test_support::ReadWholeFile(dir.Join("twinkle.mid")));
  // By default the intro and two passes, as org2wav renders: twice the one pass's loop notes.
  ASSERT_EQ(test_support::RunProgram(ORG2MID_PATH, song_path + " " + dir.Join("two.mid")).status,
            0);
  const MidiFile two = ReadMidi(test_support::ReadWholeFile(dir.Join("two.mid")));
  auto note_ons = [](const std::vector<MidiEvent>& events) {
    return std::count_if(events.begin(), events.end(), [](const MidiEvent& e) {
      return (e.status & 0xF0) == 0x90 && e.data[1] > 0;
    });
  };
  ASSERT_EQ(two.tracks.size(), midi.tracks.size());
  EXPECT_GT(note_ons(two.tracks[1]), note_ons(midi.tracks[1]));
  const std::string song_bytes = test_support::ReadWholeFile(song_path);
  org::ParsedSong song;
  ASSERT_EQ(org::ParseOrgSong(reinterpret_cast<const uint8_t*>(song_bytes.data()),
                              song_bytes.size(), &song),
            org::ParseResult::kOk);
  EXPECT_EQ(midi.format, 1);
  EXPECT_EQ(midi.division, exporting::kTicksPerStep * song.meter[1]);
  int used = 0;
  for (const auto& track : song.tracks) used += track.events.empty() ? 0 : 1;
  ASSERT_EQ(midi.tracks.size(), static_cast<size_t>(used + 1));  // and the conductor
  // The conductor: a quarter note of wait × steps per beat, the loop's markers.
  std::map<std::string, int64_t> markers;
  uint32_t tempo = 0;
  for (const MidiEvent& e : midi.tracks[0]) {
    if (e.status == 0xFF && e.meta == 0x51)
      tempo = (e.data[0] << 16) | (e.data[1] << 8) | e.data[2];
    if (e.status == 0xFF && e.meta == 0x06)
      markers[std::string(e.data.begin(), e.data.end())] = e.tick;
  }
  EXPECT_EQ(tempo, song.wait * 1000u * song.meter[1]);
  EXPECT_EQ(markers["loopStart"], int64_t{song.loop_start} * exporting::kTicksPerStep);
  EXPECT_EQ(markers["loopEnd"], int64_t{song.loop_end} * exporting::kTicksPerStep);
  // Each track: controller 111 at the loop start, notes where the song has them.
  size_t track_index = 1;
  for (int t = 0; t < org::kTrackCount; ++t) {
    const auto& org_track = song.tracks[t];
    if (org_track.events.empty()) continue;
    const std::vector<MidiEvent>& events = midi.tracks[track_index++];
    int loop_controllers = 0;
    std::vector<std::pair<int64_t, int>> notes;
    for (const MidiEvent& e : events) {
      if ((e.status & 0xF0) == 0xB0 && e.data[0] == 111) {
        ++loop_controllers;
        EXPECT_EQ(e.tick, int64_t{song.loop_start} * exporting::kTicksPerStep);
      }
      if ((e.status & 0xF0) == 0x90 && e.data[1] > 0) {
        notes.emplace_back(e.tick, e.data[0]);
        EXPECT_EQ(e.status & 0x0F, t < org::kMelodyTracks ? t : 9) << "track " << t;
      }
    }
    EXPECT_EQ(loop_controllers, 1) << "track " << t;
    std::vector<std::pair<int64_t, int>> expected;
    for (const org::OrgEvent& e : org_track.events)
      if (e.key != org::kNoValue && e.length > 0 && e.position < song.loop_end)
        expected.emplace_back(
            int64_t{e.position} * exporting::kTicksPerStep,
            t < org::kMelodyTracks ? e.key + 24 : exporting::MidiDrumNoteForDrum(org_track.wave));
    EXPECT_EQ(notes, expected) << "track " << t;
  }
}

TEST(MidiExportTest, FinetuneIsABendTrueToTheCentAtEachNotesPitch) {
  for (int key : {0, 20, 45, 70, 95})
    for (uint16_t finetune : {uint16_t{940}, uint16_t{1000}, uint16_t{1017}, uint16_t{1080}}) {
      const int bend = exporting::PitchBendFor(key, finetune);
      const double cents = (bend - 8192) / 8192.0 * 200;
      const double ratio = static_cast<double>(org::MelodyRate(key / 12, key % 12, finetune)) /
                           org::MelodyRate(key / 12, key % 12, 1000);
      EXPECT_NEAR(cents, 1200 * std::log2(ratio), 1.0) << key << " " << finetune;
    }
  EXPECT_EQ(exporting::MidiPan(6), 64);
  EXPECT_EQ(exporting::MidiPan(0), 0);
  EXPECT_EQ(exporting::MidiPan(12), 127);
  EXPECT_EQ(exporting::MidiVolume(254), 127);
}

// The pitch, in Hz, of `samples` (mono) from their rising zero crossings.
double PitchOf(const std::vector<double>& samples) {
  std::vector<double> crossings;
  for (size_t i = 1; i < samples.size(); ++i)
    if (samples[i - 1] < 0 && samples[i] >= 0)
      crossings.push_back(i - 1 + -samples[i - 1] / (samples[i] - samples[i - 1]));
  if (crossings.size() < 3) return 0;
  return (crossings.size() - 1) * 44100.0 / (crossings.back() - crossings.front());
}

TEST(MidiExportTest, TiMidityPlaysTheSongsPitchesAtItsOnsets) {
  if (system("command -v timidity >/dev/null") != 0) GTEST_SKIP() << "timidity is not installed";
  ScratchDirectory dir;
  // A4 (key 45) and E5 (key 52), 12 steps each with 4 silent steps between, at 100 ms a step.
  org::ParsedSong song;
  song.version = 2;
  song.wait = 100;
  song.loop_end = 0;
  song.tracks[0].wave = 0;
  song.tracks[0].events = {{0, 45, 12, 200, 6}, {16, 52, 12, 200, 6}, {32, 45, 12, 200, 6}};
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  dir.WriteFile("notes.org", std::string(bytes.begin(), bytes.end()));
  ASSERT_EQ(test_support::RunProgram(ORG2MID_PATH, dir.Join("notes.org") + " " + dir.Join("n.mid"))
                .status,
            0);
  const ProgramRun played = test_support::RunProgram(
      "timidity", "-OwM1s -s 44100 -o " + dir.Join("n.wav") + " " + dir.Join("n.mid"));
  ASSERT_EQ(played.status, 0) << played.output;
  const std::string wav = test_support::ReadWholeFile(dir.Join("n.wav"));
  ASSERT_GT(wav.size(), 44u);
  std::vector<double> samples;
  for (size_t at = 44; at + 1 < wav.size(); at += 2)
    samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(wav[at]) |
                                           (static_cast<uint8_t>(wav[at + 1]) << 8)));
  // Onsets: where 10 ms windows rise above a tenth of the loudest one, after having fallen below
  // a thirtieth of it.
  std::vector<double> levels;
  for (size_t at = 0; at + 441 <= samples.size(); at += 441) {
    double sum = 0;
    for (size_t i = at; i < at + 441; ++i) sum += samples[i] * samples[i];
    levels.push_back(std::sqrt(sum / 441));
  }
  const double loudest = *std::max_element(levels.begin(), levels.end());
  std::vector<double> onsets_ms;
  bool sounding = false;
  for (size_t w = 0; w < levels.size(); ++w) {
    if (!sounding && levels[w] > loudest / 10) {
      onsets_ms.push_back(w * 10.0);
      sounding = true;
    } else if (sounding && levels[w] < loudest / 30) {
      sounding = false;
    }
  }
  ASSERT_EQ(onsets_ms.size(), 3u) << wav.size() << " bytes, loudest " << loudest;
  EXPECT_NEAR(onsets_ms[1] - onsets_ms[0], 1600, 30);
  EXPECT_NEAR(onsets_ms[2] - onsets_ms[1], 1600, 30);
  // The pitch of each note, over half a second from 0.2 s into it.
  const double expected[3] = {440.0, 659.26, 440.0};
  for (int n = 0; n < 3; ++n) {
    const size_t from = static_cast<size_t>((onsets_ms[n] + 200) * 44.1);
    const std::vector<double> part(samples.begin() + static_cast<long>(from),
                                   samples.begin() + static_cast<long>(from + 22050));
    EXPECT_NEAR(PitchOf(part), expected[n], expected[n] * 0.02) << "note " << n;
  }
}

}  // namespace
