// MIDI import: a Standard MIDI File (format 0 or 1) as an Org song, on a grid the user chooses
// (steps per beat), with a report of everything that had to change. The one home of the import:
// mid2org and the editor (through the WebAssembly module) both call it. The mapping is the inverse
// of org2mid's (tools/export/midi_export.h):
//   - `wait` from the file's first tempo (a quarter note is steps-per-beat steps); later tempo
//     changes are ignored and reported; the meter's beats from the first time signature;
//   - the loop from org2mid's "loopStart"/"loopEnd" markers (notes from the loop end on are the
//     loop written out again and are left out); without markers, the song to its last bar loops;
//   - melody channels over the eight melody tracks: channel c keeps track c where it can, and a
//     note that would overlap its channel's notes goes to another track of that channel (the
//     polyphony split), else to a free track; with none left it is dropped and reported; key
//     k = MIDI note - 24, moved by octaves into 0..95 where it lies outside;
//   - channel 10 onto the drum tracks, one track per drum of each MIDI track, the drum being the
//     one org2mid writes as that General MIDI note (else the one of the nearest note);
//   - a waveform per General MIDI program family (the wave org2mid gives that program);
//   - velocities as event volumes, controller 10 as pans.
// Pure functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "org/org_format.h"

namespace importing {

struct MidiImportReport {
  int notes_in_file = 0;          // note-ons with a note-off (or the file's end)
  int notes_imported = 0;         // melody notes and drum hits written
  int melody_tracks = 0;          // melody tracks used
  int drum_tracks = 0;            // drum tracks used
  int moved_to_grid = 0;          // notes whose start or end lay off the grid
  int dropped_no_track = 0;       // notes with no free track left (melody or drums)
  int dropped_after_loop = 0;     // notes from the loop end on (the loop written out again)
  int merged_on_step = 0;         // notes that fell on a step their track already had
  int moved_by_octave = 0;        // melody notes moved by octaves into keys 0..95
  int shortened = 0;              // notes longer than 255 steps, cut to 255
  int drums_substituted = 0;      // drum notes with no drum of their own (the nearest played)
  int tempo_changes_ignored = 0;  // tempo events after the first that change it
  int64_t first_ignored_tempo_step = -1;
  double first_tempo_bpm = 120;    // quarter notes a minute of the first tempo
  std::vector<std::string> lines;  // the report in words, one line each
};

// Reads the MIDI file `data` into `song` (a version 2 song) with `steps_per_beat` steps a quarter
// note (1..32). False with `error` (one line) when the bytes are not a MIDI file this reads (no
// "MThd", SMPTE time, a chunk that runs past the end, a format other than 0 or 1).
bool ImportMidi(const uint8_t* data, size_t size, int steps_per_beat, org::ParsedSong* song,
                MidiImportReport* report, std::string* error);

// The Org waveform for a General MIDI program 0..127 (the inverse of MidiProgramForWave, by the
// program's family where no waveform gives that very program).
int WaveForMidiProgram(int program);
// The Org drum for a General MIDI drum note (the inverse of MidiDrumNoteForDrum, the nearest
// note's drum where no drum gives that very note); `exact` says which it was.
int DrumForMidiNote(int note, bool* exact);

}  // namespace importing
