// The Org song file format: a short header, sixteen track headers and, per track, five event
// arrays (positions, keys, lengths, volumes, pans). Parsing reads the whole file through one
// bounds-checked reader into plain vectors (the writer, its inverse, is org/org_writer.h). Also
// the table of the 28 drum sample names that a drum track's `wave` byte selects. Pure functions,
// any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace org {

inline constexpr int kTrackCount = 16;
inline constexpr int kMelodyTracks = 8;
inline constexpr int kDrumSlots = 8;        // drum tracks 8..15 play in slots 0..7
inline constexpr int kNoteCapacity = 4096;  // events a track may hold
inline constexpr int kDrumSampleCount = 28;
inline constexpr uint8_t kNoValue = 255;  // key, volume or pan: none / no change
// The longest Org file that can matter: the 114-byte header and every track at its full 4096
// events of 8 bytes (524,402 bytes). Readers read no further; what follows is never looked at.
inline constexpr size_t kMaxOrgFileBytes = 114 + size_t{kTrackCount} * kNoteCapacity * 8;

// One event as stored in a file.
struct OrgEvent {
  int32_t position = 0;  // step
  uint8_t key = kNoValue;
  uint8_t length = 0;  // steps a melody note sounds
  uint8_t volume = kNoValue;
  uint8_t pan = kNoValue;
};

// A whole Org file, parsed: the song as the engine plays it.
struct ParsedSong {
  int version = 0;            // 1, 2 or 3 ("Org-01" .. "Org-03")
  uint16_t wait = 0;          // milliseconds per step
  uint8_t meter[2] = {0, 0};  // beats per bar, steps per beat
  int32_t loop_start = 0;     // step
  int32_t loop_end = 0;       // step
  struct Track {
    uint16_t finetune = 1000;
    uint8_t wave = 0;      // melody: waveform 0..99; drums: drum sample 0..27
    uint8_t one_shot = 0;  // 0 for version 1, whatever is stored
    std::vector<OrgEvent> events;
  } tracks[kTrackCount];
};

// The song the game's engine holds before any load: 128 ms a step, meter 4/4, looping from step
// 4080 back to 0, no events.
ParsedSong DefaultSong();

enum class ParseResult { kOk, kNotOrg, kDamaged };

// Parses file bytes. kNotOrg: no Org magic. kDamaged: a count above 4096, or the file ends before
// all its fields and arrays.
ParseResult ParseOrgSong(const uint8_t* data, size_t size, ParsedSong* song);

// Why parsed bytes cannot be played, in the words the tools and the players all use ("not an Org
// song", "a damaged Org song (...)", "the song's step length is 0 ms"); null when they can.
const char* WhyUnplayable(ParseResult result, const ParsedSong& song);

// True when the bytes begin with an Org magic (a cheap probe: six bytes are enough).
bool HasOrgMagic(const uint8_t* data, size_t size);

// The drum table's file for drum `wave` ("Org\Bass01.wav" ...), or null outside 0..27.
const char* DrumFileName(int wave);
// The drum's name without folder and extension ("Bass01" ...), or null outside 0..27.
const char* DrumName(int wave);

}  // namespace org

// Every user of the format has the writer beside the reader.
#include "org/org_writer.h"  // IWYU pragma: export
