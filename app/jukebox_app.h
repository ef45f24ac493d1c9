// The jukebox's spine: its global objects (the song record, the key tracker, the bitmap font and
// the music player, constructed in that order before the entry point and destroyed in reverse),
// the runtime settings made before start-up, and the frame loop paced to one frame per 35 ms:
// clear, screen step, music update, the clamped sleep, the message pump, the key update and the
// Escape test, present. Main thread.
#pragma once

namespace app {

// The entry point's work; returns 0 in every case.
int RunJukebox();

int AppInit();
// 0 to go on, 1 when the program must end.
int AppEndFrame();
int AppExit();

// Measurements: called after every presented frame with the loop's own millisecond clock;
// returning false ends the loop as Escape would. Null for none.
using FrameObserver = bool (*)(int now_ms);
void SetFrameObserver(FrameObserver observer);

// The frame pacing rule: how long to sleep so that a frame lasts `frame_ms` since the last wait,
// never below 0 or above the frame time.
int FrameWait(int frame_ms, int last_frame_time, int now);

}  // namespace app
