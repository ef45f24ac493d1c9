// An Org song as a Standard MIDI File (type 1), for taking its notes into a sequencer:
//   - a conductor track (tempo from the step length and meter, time signature, the loop's
//     "loopStart" and "loopEnd" markers) and one track per Org track that has notes;
//   - melody tracks on channels 1 to 8: Org key k is MIDI note k + 24 (key 45, 440 Hz, is note
//     69), each note as long as its steps, velocity and controller 7 from the volume, controller
//     10 from the pan (6, the centre, is 64), a program per waveform (MidiProgramForWave), and
//     the track's finetune as a pitch bend (range set to 2 semitones with RPN 0) worked out at
//     each note's own pitch, to the cent;
//   - drum tracks on channel 10, a General MIDI drum note per drum (MidiDrumNoteForDrum);
//   - controller 111 at the loop start on every track (what RPG-style engines loop from).
// The song is written out to the end of its loop, and `loops` passes of the loop in all.
#pragma once

#include <cstdint>
#include <vector>

#include "org/org_format.h"

namespace exporting {

inline constexpr int kTicksPerStep = 24;

// The General MIDI program (0..127) a waveform is played with: by the bank's families (sine
// and triangle: ocarina; saws: saw lead; pulses: square lead; stepped shapes: chiptune-like
// leads; organs; brass; reeds; strings; flutes; bells; mixtures: synth pads; noise: effects).
int MidiProgramForWave(int wave);
// The General MIDI drum note for an Org drum (0..27): kicks, snares, toms, closed and open
// hats, crashes, ride, and the rest.
int MidiDrumNoteForDrum(int drum);
// MIDI velocity (and controller 7) for an Org volume 0..254; controller 10 for an Org pan 0..12.
int MidiVolume(int org_volume);
int MidiPan(int org_pan);
// The 14-bit pitch bend (8192 = none, 2 semitones either way) for a finetune at a key.
int PitchBendFor(int key, uint16_t finetune);

// The file's bytes.
std::vector<uint8_t> SongToMidi(const org::ParsedSong& song, int loops);

}  // namespace exporting
