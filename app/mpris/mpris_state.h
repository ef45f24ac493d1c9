// What the jukebox shows the desktop's media controls (MPRIS), worked out from the model without
// the bus: the playback status, loop status, volume as MPRIS counts it (1.0 = 0 dB), the track's
// metadata, and file URIs both ways. Pure functions, so the bus service stays thin and this is
// tested on its own. Main thread.
#pragma once

#include <cstdint>
#include <string>

#include "app/jukebox_model.h"

namespace app::mpris {

struct TrackMetadata {
  std::string track_id;   // a D-Bus object path
  std::string title;      // UTF-8
  int64_t length_us = 0;  // as the jukebox will play it; 0: no end (endless repeat)
  std::string url;        // "" for the data folder's own songs
};

// Everything the Player interface reports that can change; compared frame by frame to emit
// PropertiesChanged for what changed.
struct PlayerState {
  std::string playback_status;  // "Playing", "Paused" or "Stopped"
  std::string loop_status;  // "Track" (endless on), "Playlist" (the list goes round: the default)
                            // or "None" (it stops after the last song)
  bool shuffle = false;
  double volume = 1.0;
  bool can_go = false;  // there are songs: play, pause, next and previous can act
  TrackMetadata metadata;
};

PlayerState StateOf(const JukeboxModel& model);

// Where Seek(offset) goes from `position_us` in a track of `length_us` (0: no end): never before
// the start; -1 past the end, where MPRIS says to act as Next.
int64_t SeekTarget(int64_t position_us, int64_t offset_us, int64_t length_us);
// Whether SetPosition(track_id, position_us) applies: to the track playing, within it (MPRIS
// ignores the call otherwise).
bool SetPositionApplies(const TrackMetadata& playing, const std::string& track_id,
                        int64_t position_us);

// MPRIS volume (1.0 = 0 dB) to the model's step and back.
int VolumeStepFor(double volume);
double VolumeOfStep(int step);

// "file:///a%20b/c.org" -> "/a b/c.org"; "" for anything but a local file URI.
std::string PathOfFileUri(const std::string& uri);
std::string FileUriOfPath(const std::string& path);

}  // namespace app::mpris
