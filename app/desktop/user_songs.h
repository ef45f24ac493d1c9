// Songs of one's own for the jukebox: the command line's SONG.org files, FOLDERs (their .org
// files, sorted by name) and PLAYLIST.txt files (the music.txt format) become playlist entries
// with a file, a title the bitmap font can draw and a time limit. A title from a file name is
// the name without ".org", each character the font cannot draw shown as '?'; its time limit is
// the intro plus two passes of the loop, at least 30 s. Main thread, at start-up and on drops.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace app {

class JukeboxModel;

struct UserSong {
  std::string file;        // absolute, UTF-8
  std::string title;       // CP932, as the screen's font can draw it
  std::string title_utf8;  // the title as written: the file's name, or the playlist's title
  int time_limit = 30;
};

struct CollectedSongs {
  std::vector<UserSong> songs;
  std::vector<std::string> problems;  // one line each: "PATH: what is wrong"
};

// Expands `sources` (relative paths are taken from the current folder) in their order.
CollectedSongs CollectSongs(const std::vector<std::string>& sources);

// Adds songs to the model's playlist, as every way of giving songs does (the command line, a
// drop, a second start, the bus's OpenUri): each song in order, until the playlist is full
// (said once on standard error, with the first song left out). The index of the first added,
// or -1 when none was.
int AddSongs(const std::vector<UserSong>& songs, JukeboxModel* model);
// Collects songs from `sources` (saying on standard error what is left out and why), adds them
// and plays the first; the index played, or -1 when there was nothing to add.
int AddSourcesAndPlay(const std::vector<std::string>& sources, JukeboxModel* model);
// Says each problem of a collection on standard error.
void PrintProblems(const CollectedSongs& collected);

// A title the font can draw: CP932 text whose characters the font lacks became '?'.
std::string FontSafeTitle(const std::string& utf8);

// The time limit for a song file's bytes: intro plus two passes of its loop, at least 30 s;
// -1 when the bytes are not a song the engine can play, with `why` (when given) saying why.
int TimeLimitForSong(const std::vector<uint8_t>& bytes, std::string* why = nullptr);

}  // namespace app
