// Which of the sixteen tracks the visualiser lets be heard: each may be muted, or soloed (while
// any track is soloed, only soloed tracks are heard), and the number keys change them: 1 to 8
// the melody tracks, with Shift the drum tracks; with Ctrl a solo instead of a mute; 0 lets every
// track be heard again. Applied live through the visualiser's source. Main thread.
#pragma once

#include "app/key_tracker.h"
#include "app/visualiser_source.h"

namespace app {

class TrackMutes {
 public:
  void ToggleMute(int track);
  void ToggleSolo(int track);
  void Clear();
  bool muted(int track) const { return muted_[track]; }
  bool soloed(int track) const { return soloed_[track]; }
  // Whether the track is heard: soloed when any is, else not muted.
  bool audible(int track) const;
  // Tells the source which tracks are silent now.
  void ApplyTo(VisualiserSource* source) const;

 private:
  bool muted_[org::kTrackCount] = {};
  bool soloed_[org::kTrackCount] = {};
};

// Acts on the number keys sampled at the end of the last frame; true when anything changed
// (and was applied to `source`).
bool ApplyTrackKeys(const KeyTracker& keys, TrackMutes* mutes, VisualiserSource* source);

}  // namespace app
