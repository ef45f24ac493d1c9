#include "app/jukebox_model.h"

#include <algorithm>
#include <cmath>

#include "runtime/core/random.h"
#include "runtime/platform/platform_clock.h"

namespace app {

JukeboxModel::JukeboxModel(JukeboxPlayer* player, ClockMs clock)
    : player_(player), clock_(clock ? clock : &platform::ClockMs) {}

int JukeboxModel::song_count() const { return std::max(player_->entry_count() - 1, 0); }

double JukeboxModel::VolumeOfStep(int step) {
  if (step >= kVolumeSilent) return 0;
  if (step <= 0) return 1;
  return std::pow(10.0, -3.0 * step / 20.0);
}

int32_t JukeboxModel::GainForStep(int step) {
  return static_cast<int32_t>(std::lround(32768.0 * VolumeOfStep(step)));
}

int JukeboxModel::StepForVolume(double volume) {
  if (!(volume > 0)) return kVolumeSilent;  // 0, negative or not a number
  if (volume >= 1) return 0;
  const double decibels = 20 * std::log10(volume);
  return std::clamp(static_cast<int>(std::lround(-decibels / 3)), 0, kVolumeSilent);
}

void JukeboxModel::ResetPlayOrder() {
  if (player_->entry_count() > order_size()) play_order_.resize(player_->entry_count(), 0);
  const int count = std::clamp(player_->entry_count(), 0, order_size());
  for (int i = 0; i < count; ++i) play_order_[i] = i;
}

int JukeboxModel::PositionOf(int song) const {
  for (int i = 0; i < order_size(); ++i)
    if (play_order_[i] == song) return i;
  return -1;
}

void JukeboxModel::StartTime() {
  timer_running_ = true;
  start_time_ = clock_();
}

void JukeboxModel::PlayFromStart(int song) {
  // The player never restarts the song that plays (with one song, Next and Previous land on it):
  // its time goes on with it, so that the time shown stays the song's position.
  const bool goes_on = timer_running_ && song == player_->current_index();
  SetPaused(false);
  player_->PlayIndex(song);
  if (!goes_on) StartTime();
}

void JukeboxModel::BeginFrame() {
  const int f = player_->current_index();
  if (f != previous_song_) start_time_ = clock_();
  previous_song_ = f;
  frame_song_ = f;
  const uint32_t now = paused_ ? paused_at_ : clock_();
  shown_seconds_ = timer_running_ ? (now - start_time_) / 1000 : 0;
}

uint32_t JukeboxModel::elapsed_ms() const {
  if (!timer_running_) return 0;
  return (paused_ ? paused_at_ : clock_()) - start_time_;
}

void JukeboxModel::Play() {
  // With an empty playlist the song keys would reach positions that hold no song: they do
  // nothing.
  if (!HasSongs()) return;
  const int f = player_->current_index();
  SetPaused(false);
  player_->PlayIndex(-1);
  PlayFromStart(play_order_[f < 0 ? 0 : std::min(f, order_size() - 1)]);
}

void JukeboxModel::ShuffleOn() {
  if (!HasSongs()) return;
  const int count = std::min(player_->entry_count(), order_size());
  // The game's hundred swaps; a desktop playlist longer than the game's gets one per song.
  const int swaps = count > kPlayOrderSize ? count : 100;
  for (int i = 0; i < swaps; ++i) {
    const int a = runtime::RandomUpTo(count - 2);
    const int b = runtime::RandomUpTo(count - 2);
    std::swap(play_order_[a], play_order_[b]);
  }
  shuffle_ = true;
}

void JukeboxModel::ShuffleOff() {
  if (!HasSongs()) return;
  ResetPlayOrder();
  shuffle_ = false;
}

void JukeboxModel::Previous() {
  if (!HasSongs()) return;
  const int count = std::min(player_->entry_count(), order_size());
  int p = PositionOf(player_->current_index()) - 1;
  if (p < 0) p = count - 2;
  PlayFromStart(play_order_[p]);
}

void JukeboxModel::Next() {
  if (!HasSongs()) return;
  const int count = std::min(player_->entry_count(), order_size());
  int p = PositionOf(player_->current_index()) + 1;
  if (p >= count - 1) p = 0;
  PlayFromStart(play_order_[p]);
}

void JukeboxModel::AutoAdvance() {
  // The song the frame began with, as the elapsed time is the one that frame showed.
  const int f = frame_song_;
  const int count = std::min(player_->entry_count(), order_size());
  // Compared as unsigned, as the elapsed time is: a negative limit never runs out.
  if (!paused_ && f >= 0 && f < count && shown_seconds_ > static_cast<uint32_t>(time_limit(f)) &&
      !endless_ && HasSongs()) {
    const bool wraps = f + 1 >= count - 1;
    player_->RequestSwitch(wraps && stop_after_last_ ? -1 : play_order_[wraps ? 0 : f + 1]);
  }
}

void JukeboxModel::SetPaused(bool paused) {
  if (paused == paused_) return;
  // Only a song that plays can be held.
  if (paused && (!timer_running_ || player_->current_index() < 0)) return;
  const uint32_t now = clock_();
  if (paused) {
    paused_at_ = now;
  } else {
    start_time_ += now - paused_at_;  // the time stood still
  }
  paused_ = paused;
  player_->SetPaused(paused);
}

void JukeboxModel::Stop() {
  SetPaused(false);
  player_->PlayIndex(-1);
  timer_running_ = false;
}

void JukeboxModel::SetVolumeStep(int step, bool shown) {
  volume_step_ = std::clamp(step, 0, kVolumeSilent);
  if (shown) ++volume_changes_;
  player_->SetOutputGain(GainForStep(volume_step_));
}

int JukeboxModel::AppendSong(const std::string& file, const std::string& title_cp932,
                             int time_limit, const std::string& title_utf8) {
  // The entry past the end (index entry_count - 1) becomes the new song; with no playlist at
  // all the new song is entry 0.
  const int index = std::max(player_->entry_count() - 1, 0);
  if (!player_->AppendEntry(file, title_cp932, time_limit, title_utf8)) return -1;
  if (index + 2 > order_size()) play_order_.resize(index + 2, 0);
  // The play order keeps its shuffle; the new song goes at the end, before the empty entry.
  play_order_[index] = index;
  play_order_[index + 1] = index + 1;
  return index;
}

void JukeboxModel::PlayEntry(int index) {
  if (index < 0 || index > player_->entry_count() - 2) return;
  PlayFromStart(index);
}

bool JukeboxModel::SeekTo(uint32_t ms) {
  if (!playing()) return false;
  const int64_t landed = player_->SeekTo(ms);
  if (landed < 0) return false;
  const uint32_t now = clock_();
  start_time_ = now - static_cast<uint32_t>(landed);
  if (paused_) paused_at_ = now;
  ++seek_count_;
  return true;
}

bool JukeboxModel::SeekBy(int32_t delta_ms) {
  const int64_t target = std::max<int64_t>(0, int64_t{elapsed_ms()} + delta_ms);
  return SeekTo(static_cast<uint32_t>(std::min<int64_t>(target, UINT32_MAX)));
}

bool JukeboxModel::SeekToLoopStart() {
  const int64_t loop_start = playing() ? player_->loop_start_ms() : -1;
  return loop_start >= 0 && SeekTo(static_cast<uint32_t>(loop_start));
}

int64_t JukeboxModel::played_length_ms(int index) const {
  const int limit = time_limit(index);
  if (endless_ || limit < 0) return -1;
  // The advance comes once the seconds shown are past the limit: in the second after it.
  return (int64_t{limit} + 1) * 1000 + kFadeMs;
}

}  // namespace app
