#include "app/jukebox_keys.h"

#include "app/key_codes.h"

namespace app {

using namespace key_codes;

WindowRequests ApplyKeys(const KeyTracker& keys, JukeboxModel* model) {
  if (keys.KeyPressed(kKeySpace) || keys.KeyPressed(kKeyP)) model->Play();
  if (keys.KeyRepeat(kKeyS)) model->ShuffleOn();
  if (keys.KeyRepeat(kKeyD)) model->ShuffleOff();
  if (keys.KeyRepeat(kKeyE)) model->ToggleEndless();
  if (keys.KeyRepeat(kKeyLeft)) model->Previous();
  if (keys.KeyRepeat(kKeyRight)) model->Next();

  WindowRequests requests;
  const bool alt = keys.KeyDown(kKeyLeftAlt) || keys.KeyDown(kKeyRightAlt);
  // Alt+Return is full screen, and only that: it does not also pause.
  if (keys.KeyPressed(kKeyF11) || (alt && keys.KeyPressed(kKeyReturn)))
    requests.toggle_fullscreen = true;
  else if (keys.KeyPressed(kKeyReturn) || keys.KeyPressed(kKeyPause))
    model->TogglePause();
  if (keys.KeyRepeat(kKeyUp)) model->VolumeUp();
  if (keys.KeyRepeat(kKeyDown)) model->VolumeDown();
  // Seeking, on keys the game's screen never used: comma and period jump back and forward,
  // Home goes to where the loop starts.
  if (keys.KeyRepeat(kKeyComma)) model->SeekBy(-kSeekStepMs);
  if (keys.KeyRepeat(kKeyPeriod)) model->SeekBy(kSeekStepMs);
  if (keys.KeyPressed(kKeyHome)) model->SeekToLoopStart();
  if (keys.KeyPressed(kKeyV)) requests.toggle_view = true;
  if (keys.KeyPressed(kKeyH) || keys.KeyPressed(kKeyF1)) requests.toggle_help = true;
  return requests;
}

}  // namespace app
