#include "app/jukebox_keys.h"

namespace app {
namespace {

constexpr int kKeySpace = 57;
constexpr int kKeyP = 25;
constexpr int kKeyS = 31;
constexpr int kKeyD = 32;
constexpr int kKeyE = 18;
constexpr int kKeyLeft = 203;
constexpr int kKeyRight = 205;
constexpr int kKeyReturn = 28;
constexpr int kKeyPause = 197;
constexpr int kKeyUp = 200;
constexpr int kKeyDown = 208;
constexpr int kKeyF11 = 87;
constexpr int kKeyLeftAlt = 56;
constexpr int kKeyRightAlt = 184;
constexpr int kKeyComma = 51;
constexpr int kKeyPeriod = 52;
constexpr int kKeyHome = 199;
constexpr int kKeyV = 47;
constexpr int kKeyH = 35;
constexpr int kKeyF1 = 59;

}  // namespace

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
