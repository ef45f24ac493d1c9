// Our song-writing tool: a small text score language compiled to an Org song.
//
// The language is documented for users in songc(1) (packaging/man/songc.1); keep the two in step.
// A score is lines of words; a word starting with '#' starts a comment. Header lines:
//   title TEXT        the playlist title (UTF-8; becomes CP932 in the playlist)
//   file NAME.org     the song's file name        limit SECONDS   the playlist's time limit
//   version 1|2|3     wait MS (per step)          meter A B
//   loop START END    in steps; END may be "end", the end of the longest track
//   track T wave W [finetune F] [oneshot]         starts track T's stream (8..15 are drums;
//                                                 on them "drum N" says the same as "wave N")
// Stream words, after a track line:
//   C4 F#3/2 Bb5/8    a note (scientific pitch: A4 is 440 Hz), optionally /steps; on drum tracks
//                     the pitch is the drum key. D5/8:4 sounds 8 steps but moves on only 4, so
//                     that a volume or pan change can land inside the note
//   x x/4             a drum hit at the key set by kN
//   r r/4             a rest; a rest carrying a pending v or p becomes a volume/pan-only event
//   lN  default steps     gN  gap: a note sounds for its steps minus N (at least 1)
//   vN  volume 0..254 for the next event    pN  pan 0..12 for the next event
//   tN  transpose by N semitones            kN  drum key        @N  move to step N
//   [ ... ]N          repeat the words inside N times          |   a bar line (ignored)
#pragma once

#include <string>

#include "org/org_format.h"

namespace assets {

struct CompiledScore {
  org::ParsedSong song;
  std::string title;  // UTF-8
  std::string file;
  int time_limit = 60;
};

// False with a message naming the line when the score is not valid.
bool CompileScore(const std::string& text, CompiledScore* out, std::string* error);

}  // namespace assets
