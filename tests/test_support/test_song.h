// The songs the engine's and the game's tests (and the seek benchmarks) start from.
#pragma once

#include "org/org_format.h"

namespace test_support {

// A song with every track empty, wait 100, meter 4/4, loop 0..64, version 2.
inline org::ParsedSong EmptyTestSong() {
  org::ParsedSong song = org::DefaultSong();
  song.version = 2;
  song.wait = 100;
  song.loop_end = 64;
  return song;
}

// Eight tracks of held notes a step apart, each an octave or more from the last, on a loop of
// three 1 ms steps: each note hands its buffer over mid-period, and the buffers of the low
// octaves never finish theirs before they play again, so their phases drift on pass after pass
// and the song's whole state never comes back to where it was.
inline org::ParsedSong DriftingSong() {
  org::ParsedSong song;
  song.version = 2;
  song.wait = 1;
  song.loop_start = 0;
  song.loop_end = 3;
  for (int t = 0; t < 8; ++t) {
    song.tracks[t].wave = static_cast<uint8_t>(t * 7);
    for (int n = 0; n < 3; ++n)
      song.tracks[t].events.push_back({n, static_cast<uint8_t>(t * 3 + n * 13), 255, 200, 6});
  }
  return song;
}

// Every track holds `notes` notes from step 0, one a step, of varied keys, lengths, volumes and
// pans, on 1 ms steps; the loop is the caller's.
inline org::ParsedSong NoteEveryStepSong(int notes) {
  org::ParsedSong song;
  song.version = 2;
  song.wait = 1;
  for (int t = 0; t < org::kTrackCount; ++t) {
    song.tracks[t].wave = static_cast<uint8_t>(t < 8 ? t * 11 : t - 8);
    for (int n = 0; n < notes; ++n)
      song.tracks[t].events.push_back(
          {n, static_cast<uint8_t>((n * 7 + t * 5) % 96), static_cast<uint8_t>(1 + (n + t) % 4),
           static_cast<uint8_t>(100 + (n * 3) % 150), static_cast<uint8_t>((n + t) % 13)});
  }
  return song;
}

// The densest song the format allows: 4096 such notes on every track, looping over all of them
// (a pass of 4.096 s).
inline org::ParsedSong DensestSong() {
  org::ParsedSong song = NoteEveryStepSong(org::kNoteCapacity);
  song.loop_start = 0;
  song.loop_end = org::kNoteCapacity;
  return song;
}

// The densest song with its eight melody tracks each held on one key, every note restruck the
// step after it starts: each buffer hands over before it finishes a period, so its phase drifts
// on and the song's whole state never comes back, while the drums are hit every step.
inline org::ParsedSong DenseDriftingSong() {
  org::ParsedSong song = DensestSong();
  for (int t = 0; t < org::kMelodyTracks; ++t)
    for (org::OrgEvent& event : song.tracks[t].events) {
      event.key = static_cast<uint8_t>(20 + t * 3);
      event.length = 255;
    }
  return song;
}

// The densest song with its first track on one key, each note a step long: every other track
// retunes all sixteen of its buffers at every note, most of them stopped.
inline org::ParsedSong DensestSongWithOneTrackOnOneKey() {
  org::ParsedSong song = DensestSong();
  for (org::OrgEvent& event : song.tracks[0].events) {
    event.key = 40;
    event.length = 1;
  }
  return song;
}

}  // namespace test_support
