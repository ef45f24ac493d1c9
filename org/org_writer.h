// The Org writer: a song (ParsedSong) as the bytes of an Org file, the exact inverse of the reader
// (org/org_format.h): any song the reader accepts is written so that it reads back the same, and
// a file this writer wrote is written back byte for byte. Also what a file written elsewhere holds
// beyond the song (its differences from the form this writer gives), said in words. Used by songc,
// the demo data, the editor (through liborgsynth's song data functions) and MIDI import. Pure
// functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "org/org_format.h"

namespace org {

// Bytes of the header and the sixteen track headers, before the events.
inline constexpr size_t kOrgHeaderBytes = 114;
// Bytes one event takes (position, key, length, volume, pan).
inline constexpr size_t kOrgEventBytes = 8;

// The bytes the writer gives for `song`: the header, then each track's events.
size_t OrgFileSize(const ParsedSong& song);

// Writes `song` in the file layout. Tracks must hold at most kNoteCapacity events (the reader
// refuses more); a version other than 1 or 3 is written as "Org-02".
std::vector<uint8_t> SerializeOrgSong(const ParsedSong& song);

// What the file `data` (which parsed as `song`) holds that the writer would not write back, or
// that plays otherwise than its order on the page suggests, one sentence per line ("" when the
// writer gives these very bytes and every track's events are in step order): bytes after the
// last event, a version 1 file's unused one-shot bytes, events out of step order or on a step
// already taken (they wait for the loop to come round).
std::string CanonicalFormNotes(const uint8_t* data, size_t size, const ParsedSong& song);

}  // namespace org
