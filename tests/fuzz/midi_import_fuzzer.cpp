// Fuzzes MIDI import (mid2org's and the studio's). The first byte picks the grid (1 to 32 steps a
// beat), the rest is the MIDI file. An accepted file must give a song the writer writes and the
// reader reads back, with at most 4096 events a track, melody keys within 0..95, one event a step
// in step order, and a report whose counts add up.
#include <vector>

#include "fuzz/fuzz_support.h"
#include "org/org_writer.h"
#include "tools/import/midi_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int steps_per_beat = data[0] % 32 + 1;
  org::ParsedSong song;
  importing::MidiImportReport report;
  std::string error;
  if (!importing::ImportMidi(data + 1, size - 1, steps_per_beat, &song, &report, &error)) {
    if (error.empty()) fuzz::Fail("a refused MIDI file without a reason");
    return 0;
  }
  int events = 0;
  for (int t = 0; t < org::kTrackCount; ++t) {
    const std::vector<org::OrgEvent>& track = song.tracks[t].events;
    if (track.size() > static_cast<size_t>(org::kNoteCapacity)) fuzz::Fail("a track is too full");
    for (size_t i = 0; i < track.size(); ++i) {
      if (t < org::kMelodyTracks && track[i].key > 95) fuzz::Fail("a melody key past 95");
      if (i > 0 && track[i].position <= track[i - 1].position)
        fuzz::Fail("events out of step order");
    }
    events += static_cast<int>(track.size());
  }
  if (events != report.notes_imported) fuzz::Fail("the report's imported notes are not the song's");
  if (report.notes_imported > report.notes_in_file) fuzz::Fail("more notes out than in");
  if (song.loop_end <= song.loop_start) fuzz::Fail("a loop that ends before it starts");
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  org::ParsedSong back;
  if (org::ParseOrgSong(bytes.data(), bytes.size(), &back) != org::ParseResult::kOk ||
      org::SerializeOrgSong(back) != bytes)
    fuzz::Fail("the imported song does not round-trip");
  return 0;
}
