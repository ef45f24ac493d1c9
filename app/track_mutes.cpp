#include "app/track_mutes.h"

#include "app/key_codes.h"

namespace app {

using namespace key_codes;

void TrackMutes::ToggleMute(int track) { muted_[track] = !muted_[track]; }

void TrackMutes::ToggleSolo(int track) { soloed_[track] = !soloed_[track]; }

void TrackMutes::Clear() {
  for (int track = 0; track < org::kTrackCount; ++track) muted_[track] = soloed_[track] = false;
}

bool TrackMutes::audible(int track) const {
  for (const bool solo : soloed_)
    if (solo) return soloed_[track];
  return !muted_[track];
}

void TrackMutes::ApplyTo(VisualiserSource* source) const {
  for (int track = 0; track < org::kTrackCount; ++track)
    source->SetTrackMuted(track, !audible(track));
}

bool ApplyTrackKeys(const KeyTracker& keys, TrackMutes* mutes, VisualiserSource* source) {
  bool changed = false;
  if (keys.KeyPressed(kKey0)) {
    mutes->Clear();
    changed = true;
  }
  const bool drums = keys.KeyDown(kKeyLeftShift) || keys.KeyDown(kKeyRightShift);
  const bool solo = keys.KeyDown(kKeyLeftCtrl) || keys.KeyDown(kKeyRightCtrl);
  for (int n = 0; n < org::kMelodyTracks; ++n) {
    if (!keys.KeyPressed(kKey1 + n)) continue;
    const int track = n + (drums ? org::kMelodyTracks : 0);
    solo ? mutes->ToggleSolo(track) : mutes->ToggleMute(track);
    changed = true;
  }
  if (changed) mutes->ApplyTo(source);
  return changed;
}

}  // namespace app
