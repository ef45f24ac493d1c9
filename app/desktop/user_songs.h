// Songs of one's own for the jukebox: the command line's SONG.org files, FOLDERs (their .org
// files, sorted by name) and PLAYLIST.txt files (the music.txt format) become playlist entries
// with a file, a title the bitmap font can draw and a time limit. A title from a file name is
// the name without ".org", each character the font cannot draw shown as '?'; its time limit is
// the intro plus two passes of the loop, at least 30 s. Main thread, at start-up and on drops.
#pragma once

#include <string>
#include <vector>

namespace app {

struct UserSong {
  std::string file;   // absolute, UTF-8
  std::string title;  // CP932
  int time_limit = 30;
};

struct CollectedSongs {
  std::vector<UserSong> songs;
  std::vector<std::string> problems;  // one line each: "PATH: what is wrong"
};

// Expands `sources` (relative paths are taken from the current folder) in their order.
CollectedSongs CollectSongs(const std::vector<std::string>& sources);

// A title the font can draw: CP932 text whose characters the font lacks became '?'.
std::string FontSafeTitle(const std::string& utf8);

// The time limit for a song file's bytes: intro plus two passes of its loop, at least 30 s;
// -1 when the bytes are not a song the engine can play.
int TimeLimitForSong(const std::vector<uint8_t>& bytes);

}  // namespace app
