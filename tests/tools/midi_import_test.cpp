// mid2org and the MIDI import under it: org2mid then mid2org gives back every demo song's notes
// (keys, steps, sounding lengths, drums), its step length, meter and loop; a MIDI file made here
// by hand with a chord, a second voice, a tempo change, off-grid notes, drums and more voices
// than tracks gives the report it should; files that are not MIDI are refused with a reason.
#include "tools/import/midi_import.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

#include "org/org_writer.h"
#include "test_support/program_run.h"
#include "test_support/scratch_directory.h"
#include "tools/export/midi_export.h"

namespace {

using test_support::ProgramRun;
using test_support::ScratchDirectory;

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

org::ParsedSong ReadSong(const std::string& path) {
  const std::string bytes = test_support::ReadWholeFile(path);
  org::ParsedSong song;
  EXPECT_EQ(org::ParseOrgSong(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &song),
            org::ParseResult::kOk)
      << path;
  return song;
}

// A melody note as it sounds: its track, step, key, and steps until it ends or the next begins.
using Note = std::tuple<int, int32_t, int, int>;
// A drum hit: its step and the General MIDI note its drum is written as.
using Hit = std::pair<int32_t, int>;

std::multiset<Note> MelodyNotes(const org::ParsedSong& song) {
  std::multiset<Note> notes;
  for (int t = 0; t < org::kMelodyTracks; ++t) {
    const std::vector<org::OrgEvent>& events = song.tracks[t].events;
    std::vector<int32_t> starts;
    for (const org::OrgEvent& e : events)
      if (e.key != org::kNoValue && e.length > 0) starts.push_back(e.position);
    size_t next = 0;
    for (const org::OrgEvent& e : events) {
      if (e.key == org::kNoValue || e.length == 0 || e.position >= song.loop_end) continue;
      ++next;
      int32_t length = e.length;
      if (next < starts.size()) length = std::min(length, starts[next] - e.position);
      notes.insert({t, e.position, e.key, length});
    }
  }
  return notes;
}

std::multiset<Hit> DrumHits(const org::ParsedSong& song) {
  std::multiset<Hit> hits;
  for (int t = org::kMelodyTracks; t < org::kTrackCount; ++t)
    for (const org::OrgEvent& e : song.tracks[t].events)
      if (e.key != org::kNoValue && e.length > 0 && e.position < song.loop_end)
        hits.insert({e.position, exporting::MidiDrumNoteForDrum(song.tracks[t].wave)});
  return hits;
}

TEST(MidiImportTest, Org2midThenMid2orgGivesBackEveryDemoSongsNotes) {
  ScratchDirectory dir;
  int songs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(PROJECT_SOURCE_DIR "/data/Org")) {
    if (entry.path().extension() != ".org") continue;
    ++songs;
    SCOPED_TRACE(entry.path().string());
    const org::ParsedSong original = ReadSong(entry.path().string());
    const std::string midi = dir.Join("song.mid");
    const std::string back = dir.Join("back.org");
    ASSERT_EQ(test_support::RunProgram(ORG2MID_PATH, entry.path().string() + " " + midi).status, 0);
    const ProgramRun run = test_support::RunProgram(
        MID2ORG_PATH,
        "--steps-per-beat " + std::to_string(original.meter[1]) + " " + midi + " " + back);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");  // the report only when asked
    const org::ParsedSong imported = ReadSong(back);
    EXPECT_EQ(imported.wait, original.wait);
    EXPECT_EQ(imported.meter[0], original.meter[0]);
    EXPECT_EQ(imported.meter[1], original.meter[1]);
    EXPECT_EQ(imported.loop_start, original.loop_start);
    EXPECT_EQ(imported.loop_end, original.loop_end);
    EXPECT_EQ(MelodyNotes(imported), MelodyNotes(original));
    EXPECT_EQ(DrumHits(imported), DrumHits(original));
    for (int t = 0; t < org::kMelodyTracks; ++t) {  // each waveform back in its own family
      if (original.tracks[t].events.empty()) continue;
      EXPECT_EQ(exporting::MidiProgramForWave(imported.tracks[t].wave),
                exporting::MidiProgramForWave(original.tracks[t].wave));
    }
  }
  EXPECT_GE(songs, 6);
}

// A Standard MIDI File of one track: events given in any order, written in time order.
class MidiWriter {
 public:
  explicit MidiWriter(int division) : division_(division) {}
  void Event(int64_t tick, std::initializer_list<uint8_t> bytes) {
    events_.push_back({tick, bytes});
  }
  void Tempo(int64_t tick, uint32_t us) {
    Event(tick, {0xFF, 0x51, 3, uint8_t(us >> 16), uint8_t(us >> 8), uint8_t(us)});
  }
  void Note(int channel, int note, int64_t on, int64_t off, int velocity = 100) {
    Event(on, {uint8_t(0x90 | channel), uint8_t(note), uint8_t(velocity)});
    Event(off, {uint8_t(0x80 | channel), uint8_t(note), 0});
  }
  std::string Bytes() const {
    std::vector<std::pair<int64_t, std::vector<uint8_t>>> events = events_;
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    events.push_back({events.empty() ? 0 : events.back().first, {0xFF, 0x2F, 0}});
    std::vector<uint8_t> body;
    int64_t now = 0;
    for (const auto& [tick, bytes] : events) {
      uint64_t delta = static_cast<uint64_t>(tick - now);
      now = tick;
      uint8_t stack[10];
      int n = 0;
      stack[n++] = delta & 0x7F;
      while (delta >>= 7) stack[n++] = static_cast<uint8_t>(0x80 | (delta & 0x7F));
      while (n > 0) body.push_back(stack[--n]);
      body.insert(body.end(), bytes.begin(), bytes.end());
    }
    std::string file = "MThd";
    for (uint8_t b : {0, 0, 0, 6, 0, 0, 0, 1}) file += char(b);
    file += char(division_ >> 8);
    file += char(division_ & 0xFF);
    file += "MTrk";
    const uint32_t size = static_cast<uint32_t>(body.size());
    for (int shift : {24, 16, 8, 0}) file += char(size >> shift);
    file.append(body.begin(), body.end());
    return file;
  }

 private:
  int division_;
  std::vector<std::pair<int64_t, std::vector<uint8_t>>> events_;
};

TEST(MidiImportTest, AHandMadeFileGivesTheReportItShould) {
  MidiWriter midi(96);        // 96 ticks a quarter: 24 a step at 4 steps a beat
  midi.Tempo(0, 600000);      // 100 beats a minute: 150 ms a step
  midi.Event(0, {0xC0, 40});  // channel 1: a violin (strings)
  midi.Tempo(384, 400000);    // at step 16: faster, ignored
  midi.Tempo(768, 400000);    // the same again: no change
  // Channel 1: a three-note chord on beat 1 (the polyphony split over three tracks), then one
  // note 10 ticks late (moved to the grid).
  for (int note : {60, 64, 67}) midi.Note(0, note, 0, 192);
  midi.Note(0, 72, 202, 288);
  // Channel 2: a line of its own, one octave below the lowest key (moved into range).
  midi.Note(1, 12, 0, 96);
  // Eight voices at once on channel 3: its own track and the three left find room (channel 1's
  // idle tracks are its own), the other four are dropped.
  for (int i = 0; i < 8; ++i) midi.Note(2, 50 + i, 384, 480);
  // Drums: kick and snare have drums of their own; side stick (37) is played by the nearest,
  // the snare, on the snare's track.
  midi.Note(9, 36, 0, 24);
  midi.Note(9, 38, 96, 120);
  midi.Note(9, 37, 192, 216);
  const std::string bytes = midi.Bytes();

  org::ParsedSong song;
  importing::MidiImportReport report;
  std::string error;
  ASSERT_TRUE(importing::ImportMidi(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 4,
                                    &song, &report, &error))
      << error;
  const std::vector<std::string> expected = {
      "12 of 16 notes imported onto 8 melody and 2 drum tracks, 4 steps a beat",
      "wait 150 ms a step, from the first tempo (100.00 beats a minute)",
      "1 later tempo change(s) ignored (an Org song keeps one tempo), the first at step 16",
      "1 note(s) moved to the grid",
      "4 note(s) dropped for want of a track",
      "1 note(s) moved by octaves into the keys C0-B7",
      "1 drum note(s) with no drum of their own played by the nearest",
      "loop from step 0 to step 32",
  };
  EXPECT_EQ(report.lines, expected);
  EXPECT_EQ(song.wait, 150);
  // The chord split over tracks 0, 3 and 4 (1 and 2 are channels 2's and 3's own), high first.
  for (int t : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}) ASSERT_FALSE(song.tracks[t].events.empty()) << t;
  ASSERT_EQ(song.tracks[0].events.size(), 2u);
  EXPECT_EQ(song.tracks[0].events[0].key, 67 - 24);
  EXPECT_EQ(song.tracks[0].events[0].length, 8);
  EXPECT_EQ(song.tracks[0].events[1].position, 8);  // tick 202 to step 8
  EXPECT_EQ(song.tracks[0].events[1].key, 72 - 24);
  EXPECT_EQ(song.tracks[1].events[0].key, 0);  // MIDI 12 moved up an octave to C0
  EXPECT_EQ(song.tracks[3].events[0].key, 64 - 24);
  EXPECT_EQ(song.tracks[4].events[0].key, 60 - 24);
  EXPECT_EQ(song.tracks[2].events[0].position, 16);                   // channel 3 on its own track
  EXPECT_EQ(exporting::MidiProgramForWave(song.tracks[0].wave), 48);  // strings
  EXPECT_EQ(song.tracks[8].wave, 0);                                  // Bass01: note 36
  EXPECT_EQ(song.tracks[9].wave, 2);                                  // Snare01: note 38
  ASSERT_EQ(song.tracks[9].events.size(), 2u);
  EXPECT_EQ(song.tracks[9].events[1].position, 8);  // the side stick, at tick 192
  EXPECT_TRUE(song.tracks[10].events.empty());
  EXPECT_EQ(song.tracks[0].events[0].volume, 200);  // velocity 100 of 127
}

TEST(MidiImportTest, Mid2orgReportsOnAskingAndRefusesWhatIsNotMidi) {
  ScratchDirectory dir;
  MidiWriter midi(480);
  midi.Note(0, 69, 0, 480);
  const std::string one_note = midi.Bytes();
  WriteFile(dir.Join("a.mid"), one_note);
  ProgramRun run = test_support::RunProgram(
      MID2ORG_PATH, "--report --steps-per-beat 8 " + dir.Join("a.mid") + " " + dir.Join("a.org"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output,
            "1 of 1 notes imported onto 1 melody and 0 drum tracks, 8 steps a beat\n"
            "wait 63 ms a step, from the first tempo (120.00 beats a minute)\n"
            "loop from step 0 to step 32\n");
  const org::ParsedSong song = ReadSong(dir.Join("a.org"));
  EXPECT_EQ(song.tracks[0].events[0].length, 8);
  EXPECT_EQ(song.tracks[0].events[0].key, 45);

  WriteFile(dir.Join("text.mid"), "just some text, not a MIDI file");
  run = test_support::RunProgram(MID2ORG_PATH, dir.Join("text.mid") + " " + dir.Join("b.org"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("not a MIDI file (no MThd header)"), std::string::npos) << run.output;
  std::string cut = one_note;
  cut.resize(cut.size() - 3);
  WriteFile(dir.Join("cut.mid"), cut);
  run = test_support::RunProgram(MID2ORG_PATH, dir.Join("cut.mid") + " " + dir.Join("b.org"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("runs past the file's end"), std::string::npos) << run.output;
  EXPECT_FALSE(std::filesystem::exists(dir.Join("b.org")));
  // A FIFO without a writer would block a plain open(): it is refused at once, as a folder is.
  ASSERT_EQ(mkfifo(dir.Join("fifo.mid").c_str(), 0600), 0);
  run = test_support::RunProgram(MID2ORG_PATH, dir.Join("fifo.mid") + " " + dir.Join("b.org"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "mid2org: " + dir.Join("fifo.mid") + ": is a FIFO, not a file\n");
  run = test_support::RunProgram(MID2ORG_PATH, dir.path() + " " + dir.Join("b.org"));
  EXPECT_EQ(run.output, "mid2org: " + dir.path() + ": is a folder\n");
  run = test_support::RunProgram(MID2ORG_PATH, "--steps-per-beat 0 a.mid b.org");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("--steps-per-beat needs a whole number from 1 to 32"),
            std::string::npos);
}

}  // namespace
