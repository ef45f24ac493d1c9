#include "game_music/game_engine.h"

namespace org {

Engine& JukeboxEngine() {
  static Engine* const engine = [] {
    auto* made = new Engine(nullptr);
    ParsedSong empty;  // the song before any load: 128 ms a step, looping from 4080 to 0
    empty.wait = 128;
    empty.meter[0] = 4;
    empty.meter[1] = 4;
    empty.loop_start = 0;
    empty.loop_end = 4080;
    made->SetEmptySong(empty);
    return made;
  }();
  return *engine;
}

}  // namespace org
