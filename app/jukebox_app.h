// The jukebox's spine: its global objects (the key tracker, the bitmap font and the music player,
// whose engine holds the song record, constructed in that order before the entry point and
// destroyed in reverse), the runtime settings made before start-up, and the frame loop paced to
// one frame per 35 ms: clear, screen step, music update, the clamped sleep, the message pump, the
// key update and the Escape test, present. Main thread.
#pragma once

#include "app/jukebox_keys.h"
#include "app/jukebox_model.h"

namespace org {
class MusicPlayer;
}

namespace app {

// What a program built around the jukebox adds (a desktop player, a media-player bus), called
// at fixed points of the frame loop. The game's own jukebox runs with none.
class JukeboxExtras {
 public:
  virtual ~JukeboxExtras() = default;
  // After start-up, the player's Init and the play order's identity.
  virtual void AfterInit(JukeboxModel*, org::MusicPlayer*) {}
  // Each frame after the screen step: what the keys asked of the window, and anything else.
  virtual void EachFrame(JukeboxModel*, const WindowRequests&) {}
  // When the loop has ended, before the music stops and the runtime shuts down.
  virtual void BeforeExit(JukeboxModel*) {}
  // True to end the program as Escape does (asked after each frame's EachFrame).
  virtual bool QuitRequested() const { return false; }
};

// The entry point's work; returns 0 in every case.
int RunJukebox(JukeboxExtras* extras = nullptr);

int AppInit();
// 0 to go on, 1 when the program must end.
int AppEndFrame();
int AppExit();

// Measurements: called after every presented frame with the loop's own millisecond clock;
// returning false ends the loop as Escape would. Null for none.
using FrameObserver = bool (*)(int now_ms);
void SetFrameObserver(FrameObserver observer);
// The jukebox's music player, for such observers.
const org::MusicPlayer& JukeboxMusicPlayer();

// The frame pacing rule: how long to sleep so that a frame lasts `frame_ms` since the last wait,
// never below 0 or above the frame time.
int FrameWait(int frame_ms, int last_frame_time, int now);

}  // namespace app
