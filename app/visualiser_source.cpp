#include "app/visualiser_source.h"

#include "game_music/music_player.h"

namespace app {

const org::ParsedSong* JukeboxVisualiserSource::song() const {
  return player_->ready && player_->current_index >= 0 ? &player_->engine().song() : nullptr;
}

int32_t JukeboxVisualiserSource::playing_step() const { return player_->playing_step(); }

int32_t JukeboxVisualiserSource::loop_count() const { return player_->loop_count(); }

void JukeboxVisualiserSource::Watch(int frames) { player_->WatchTracks(frames); }

int JukeboxVisualiserSource::CopyScope(int track, int32_t* mono, int count) {
  return player_->CopyTrackScope(track, mono, count);
}

void JukeboxVisualiserSource::TakePeaks(int32_t peaks[org::kTrackCount]) {
  player_->TakeTrackPeaks(peaks);
}

void JukeboxVisualiserSource::SetTrackMuted(int track, bool muted) {
  player_->SetTrackMuted(track, muted);
}

}  // namespace app
