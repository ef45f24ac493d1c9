// The songs the engine's and the game's tests start from.
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

}  // namespace test_support
