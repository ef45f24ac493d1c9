// The game's song record and its loader: the song the face's engine holds (the Org format's
// events in plain vectors), its defaults before any load, and LoadOrgSong, which reads a song file
// by data path, reports problems in message boxes, loads the drums from the song's folder (with
// their message boxes and ORG_ERROR.TXT lines) and rewinds the sequencer — into the face's
// engine, or into the engine a music player has. Main thread, while the engine's timer is
// stopped; the timer thread reads the record.
#pragma once

#include <cstdint>
#include <string>

#include "org/engine.h"
#include "org/org_format.h"

namespace org {

// The song the face's engine plays.
const ParsedSong& GetOrgSong();

// The record's defaults (DefaultSong: 128 ms a step, meter 4/4, loop 0..4080, no events).
void InitSong();
// Releases the song's events; the header stays.
void FreeSongNotes();

// Loads a song file (a data path: backslashes, CP932) into the record, rebuilds the sixteen voices
// and rewinds the sequencer. False, with a notice, when the file cannot be opened or is not a
// usable Org file; the record is then unchanged.
bool LoadOrgSong(const char* path);
// The same into `engine` (a music player's).
bool LoadOrgSong(Engine& engine, const char* path);

// Reads a song file a user gave (a path of this system, UTF-8, used as it is, never converted),
// at most the largest song's bytes: false with `why` (one line) when it cannot be read.
bool ReadUserSongFile(const std::string& file, std::vector<uint8_t>* bytes, std::string* why);

// Loads the bytes of such a song into `engine` with its drums from `drums`, as LoadOrgSong does
// but showing nothing: false with `why` (one line) when they are not a song; the loaded song is
// then unchanged.
bool LoadUserSong(Engine& engine, const std::vector<uint8_t>& bytes, const DrumProvider& drums,
                  std::string* why);

// The drum file path the loader uses for a song path and a drum `wave`: the song's folder (up to
// its last backslash) followed by the table entry. Empty when `wave` is outside the table.
std::string DrumPathForSong(const std::string& song_path, int wave);

}  // namespace org
