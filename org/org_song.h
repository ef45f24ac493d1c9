// The Org song format and the one global song record. An Org file holds a short header, sixteen
// track headers and, per track, five event arrays; the record keeps each track's events threaded
// in a fixed store of 4096 records. The loader parses the whole file first and changes the record
// only when the file is sound, then rebuilds the voices and rewinds the sequencer.
// Main thread, while the sequencer's timer is stopped; the timer thread reads the record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace org {

inline constexpr int kTrackCount = 16;
inline constexpr int kMelodyTracks = 8;
inline constexpr int kNoteCapacity = 4096;
inline constexpr uint8_t kNoValue = 255;  // key, volume or pan: none / no change

struct OrgNote {
  OrgNote* prev = nullptr;
  OrgNote* next = nullptr;
  int32_t position = 0;  // step
  uint8_t length = 0;    // steps a melody note sounds
  uint8_t key = kNoValue;
  uint8_t volume = kNoValue;
  uint8_t pan = kNoValue;
};

struct OrgTrack {
  uint16_t finetune = 1000;  // melody: rate offset + 1000, in samples per second
  uint8_t wave = 0;          // melody: waveform 0..99; drums: drum sample 0..27
  uint8_t one_shot = 0;
  std::unique_ptr<OrgNote[]> notes;  // the event store, kNoteCapacity records
  OrgNote* first = nullptr;
};

struct OrgSong {
  uint16_t wait = 128;  // milliseconds per step
  uint8_t meter[2] = {4, 4};
  uint16_t note_capacity = kNoteCapacity;
  int32_t loop_start = 0;
  int32_t loop_end = 4080;
  OrgTrack tracks[kTrackCount];
};

OrgSong& GetOrgSong();

// Defaults and the sixteen event stores. Called once by the player's initialisation.
void InitSong();
// Releases the event stores. Called by the player's release.
void FreeSongNotes();

// One event as stored in a file.
struct OrgEvent {
  int32_t position = 0;
  uint8_t key = kNoValue;
  uint8_t length = 0;
  uint8_t volume = kNoValue;
  uint8_t pan = kNoValue;
};

// A whole Org file, parsed.
struct ParsedSong {
  int version = 0;  // 1, 2 or 3
  uint16_t wait = 0;
  uint8_t meter[2] = {0, 0};
  int32_t loop_start = 0;
  int32_t loop_end = 0;
  struct Track {
    uint16_t finetune = 1000;
    uint8_t wave = 0;
    uint8_t one_shot = 0;  // 0 for version 1, whatever is stored
    std::vector<OrgEvent> events;
  } tracks[kTrackCount];
};

enum class ParseResult { kOk, kNotOrg, kDamaged };

// Parses file bytes. kNotOrg: no Org magic. kDamaged: a count above 4096, or the file ends before
// all its fields and arrays.
ParseResult ParseOrgSong(const uint8_t* data, size_t size, ParsedSong* song);

// Serialises a parsed song to the file layout (the inverse of ParseOrgSong).
std::vector<uint8_t> SerializeOrgSong(const ParsedSong& song);

// Loads a song file (a data path: backslashes, CP932) into the record, rebuilds the sixteen voices
// and rewinds the sequencer. False, with a notice, when the file cannot be opened or is not a
// usable Org file; the record is then unchanged.
bool LoadOrgSong(const char* path);

// The drum file path the loader uses for a song path and a drum `wave`: the song's folder (up to
// its last backslash) followed by the table entry. Empty when `wave` is outside the table.
std::string DrumPathForSong(const std::string& song_path, int wave);

}  // namespace org
