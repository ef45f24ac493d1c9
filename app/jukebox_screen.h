// The jukebox's one screen: each frame it draws the background, the title, number, key help,
// modes and the elapsed time, then acts on the keys (play, shuffle, order reset, endless repeat,
// previous, next) and asks for the next song when the current one's time is up. Reads the music
// player's state and calls its play and switch operations. Main thread, once per frame.
#pragma once

#include <cstdint>
#include <string>

#include "app/bitmap_font.h"
#include "app/key_tracker.h"

namespace app {

inline constexpr int kPlayOrderSize = 128;

// What the screen needs of the music player.
class JukeboxPlayer {
 public:
  virtual ~JukeboxPlayer() = default;
  virtual int current_index() const = 0;
  virtual int entry_count() const = 0;
  virtual const char* title(int index) const = 0;  // CP932
  virtual int time_limit(int index) const = 0;
  virtual void PlayIndex(int index) = 0;
  virtual void RequestSwitch(int index) = 0;
};

class JukeboxScreen {
 public:
  JukeboxScreen(JukeboxPlayer* player, const BitmapFont* font, const KeyTracker* keys);

  // Play order positions 0..entry_count - 1 hold their own numbers.
  void ResetPlayOrder();
  void SetBackground(int graph) { background_ = graph; }
  // One frame: draw, then act on the keys sampled at the end of the previous frame.
  void Step();

  bool shuffle() const { return shuffle_; }
  bool endless() const { return endless_; }
  int play_order(int position) const { return play_order_[position]; }
  // Elapsed seconds as the last step showed them.
  uint32_t shown_seconds() const { return shown_seconds_; }

  // Replaces the millisecond clock (tests).
  using ClockMs = uint32_t (*)();
  void SetClockForTesting(ClockMs clock) { clock_ = clock; }

 private:
  void Draw(uint32_t seconds);
  void ActOnKeys(uint32_t seconds);
  int PositionOf(int song) const;
  // False when the playlist has no song: the song keys then do nothing.
  bool HasSongs() const { return player_->entry_count() >= 2; }
  void Play(int song);

  JukeboxPlayer* player_;
  const BitmapFont* font_;
  const KeyTracker* keys_;
  ClockMs clock_;
  int background_ = -1;
  int32_t play_order_[kPlayOrderSize] = {};
  int previous_song_ = 0;
  uint32_t start_time_ = 0;
  bool timer_running_ = false;
  bool shuffle_ = false;
  bool endless_ = false;
  uint32_t shown_seconds_ = 0;
};

}  // namespace app
