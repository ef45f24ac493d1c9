#include "app/visualiser_source.h"

#include "game_music/game_engine.h"
#include "game_music/music_player.h"
#include "runtime/sound/sound_device.h"

namespace app {

const org::ParsedSong* JukeboxVisualiserSource::song() const {
  return player_->ready && player_->current_index >= 0 ? &org::JukeboxEngine().song() : nullptr;
}

int32_t JukeboxVisualiserSource::playing_step() const {
  return org::JukeboxEngine().last_played_step();
}

int32_t JukeboxVisualiserSource::loop_count() const { return org::JukeboxEngine().loop_count(); }

void JukeboxVisualiserSource::Watch(int frames) {
  platform::SoundDevice* device = runtime::GetSoundDevice();
  if (!device) return;
  device->SetGroupTapFrames(frames);
  device->SetGroupMetering(frames > 0);
}

int JukeboxVisualiserSource::CopyScope(int track, int32_t* mono, int count) {
  platform::SoundDevice* device = runtime::GetSoundDevice();
  return device ? device->CopyGroupTap(track, mono, count) : 0;
}

void JukeboxVisualiserSource::TakePeaks(int32_t peaks[org::kTrackCount]) {
  platform::SoundDevice* device = runtime::GetSoundDevice();
  for (int track = 0; track < org::kTrackCount; ++track)
    peaks[track] = device ? device->GroupPeak(track) : 0;
  if (device) device->ResetGroupPeaks();
}

void JukeboxVisualiserSource::SetTrackMuted(int track, bool muted) {
  org::JukeboxEngine().SetTrackMuted(track, muted);
}

}  // namespace app
