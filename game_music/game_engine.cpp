#include "game_music/game_engine.h"

namespace org {

Engine& GameEngine() {
  static Engine* const engine = [] {
    auto* made = new Engine(nullptr);
    made->SetEmptySong(DefaultSong());
    return made;
  }();
  return *engine;
}

void SetEngineSoundDevice(platform::SoundDevice* device) { GameEngine().SetDevice(device); }

}  // namespace org
