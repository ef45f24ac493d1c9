// The playlist file Org\music.txt: entries of four items separated by white space — a number
// (ignored), the play-time limit in seconds, the song's path and its title (CP932, no white
// space). Read as the classic scan "%d\t%d\t%s\t%s" repeated until the input ends or an entry
// cannot start; items longer than their fields are cut at a character boundary, and entries
// beyond the 120th are not read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace org {

inline constexpr int kMaxPlaylistEntries = 120;
inline constexpr size_t kPathField = 48;    // bytes, with the terminating zero
inline constexpr size_t kTitleField = 256;  // bytes, with the terminating zero

struct PlaylistEntry {
  int32_t time_limit = 0;  // seconds
  std::string path;        // at most 47 bytes
  std::string title;       // at most 255 bytes
};

// The largest playlist file read (1 MiB): what follows is never looked at.
inline constexpr size_t kMaxPlaylistBytes = size_t{1} << 20;

// Parses playlist text, at most `max_entries` entries (the game's 120 unless a caller takes
// more, as the tools and the desktop player do with a playlist a user gives). Entries matched in
// part are kept with their missing items empty or 0.
std::vector<PlaylistEntry> ParsePlaylist(const uint8_t* text, size_t size,
                                         size_t max_entries = kMaxPlaylistEntries);

// Where a playlist file's entry is: its path (a data path, as "Org\song.org") is looked for
// beside the playlist file, then in the folder above it (a game folder's Org/music.txt names
// its songs from the game folder). The path this system opens, or "" when neither has it.
std::string FindPlaylistSong(const std::string& playlist_file, const std::string& entry_path);

// Cuts CP932 text to at most `max_bytes` bytes without splitting a two-byte character.
std::string CutCp932(const std::string& text, size_t max_bytes);

}  // namespace org
