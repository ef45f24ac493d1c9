// What org2wav and orgplay do alike with a song's other inputs before playing it: the drums (the
// shipped ones stand in when none lies beside the song) and a word about a waveform bank of the
// wrong size. Messages start with the tool's name and name files as the user wrote them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "org/org_format.h"

namespace render {

// True when `drums_folder` is empty and none of the drum files `song` plays lies beside it (in
// the Org folder next to `song_path`): the shipped drums then stand in, as is said once on
// standard error.
bool UseShippedDrums(const char* tool, const org::ParsedSong& song, const std::string& song_path,
                     const std::string& drums_folder);

// Warns (once, on standard error) when the bank file is not the 25,600 bytes of 100 waveforms.
void WarnAboutWaveBank(const char* tool, const std::string& bank_path);

// Reads the song file at `path` (as the user wrote it), at most the longest Org file's bytes,
// never waiting on a FIFO or a device. False with `why`: "is a folder", "is a FIFO, not a file",
// "cannot read the file (reason)".
bool ReadSongBytes(const std::string& path, std::vector<uint8_t>* bytes, std::string* why);

// Reads and parses the song at `path` (as the user wrote it). False with `why` (one line:
// unreadable, not an Org song, or damaged).
bool ReadSongFile(const std::string& path, org::ParsedSong* song, std::string* why);

}  // namespace render
