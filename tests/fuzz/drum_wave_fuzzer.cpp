// Fuzzes the drum sample reader: whatever it accepts becomes a sound buffer, which is then played
// at the lowest and the highest key, panned and at two volumes, and mixed.
#include "fuzz/fuzz_support.h"
#include "game_music/drum_voice.h"
#include "game_music/game_engine.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::ScratchFolder();  // the error log the loader may write goes there
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::OfflineEngine engine;
  const org::DrumLoadResult result = org::GameEngine().drums().Load(data, size, 0);
  org::ReportDrumLoad(result, true);
  if (result == org::DrumLoadResult::kLoaded) {
    org::SetDrumVolume(0, 200);
    org::SetDrumPan(0, 2);
    org::PlayDrum(0, 0);
    engine.Render(2048);
    org::SetDrumVolume(0, 0);
    org::SetDrumPan(0, 12);
    org::PlayDrum(0, 255);
    engine.Render(2048);
  }
  org::ResetDrumVoices();
  return 0;
}
