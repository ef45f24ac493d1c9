// What the jukebox is doing, in one place: the playlist (through the music player), the current
// song, the play order, shuffle, endless repeat, the elapsed time, pause and the output volume,
// with named operations that keep the rules of each: play, next, previous, shuffle on and off,
// endless, pause, volume, append songs, stop. Keys, the command line, dropped files and the
// media-player bus all call these operations; the screen only draws what the model says.
// Main thread, once per frame (BeginFrame, then operations, then AutoAdvance).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "org/fades.h"

namespace app {

// The game's play order: 128 positions (a desktop player's grows with its playlist).
inline constexpr int kPlayOrderSize = 128;

// What the model needs of the music player.
class JukeboxPlayer {
 public:
  virtual ~JukeboxPlayer() = default;
  virtual int current_index() const = 0;
  virtual int entry_count() const = 0;
  virtual const char* title(int index) const = 0;  // CP932
  virtual int time_limit(int index) const = 0;
  virtual void PlayIndex(int index) = 0;
  virtual void RequestSwitch(int index) = 0;
  // Holds the song where it is (its timer and its sound), or lets it go on from there.
  virtual void SetPaused(bool) {}
  // The output gain applied after mixing, Q15 (32768 = 0 dB).
  virtual void SetOutputGain(int32_t) {}
  // Adds an entry at the end of the playlist: a song file (a path this system opens, UTF-8),
  // its title (CP932, as the screen's font draws it; and UTF-8, as the user wrote it) and time
  // limit in seconds. False when the playlist is full.
  virtual bool AppendEntry(const std::string& /*file*/, const std::string& /*title_cp932*/,
                           int /*time_limit*/, const std::string& /*title_utf8*/) {
    return false;
  }
  // The title of an entry appended with one, in UTF-8 ("" for the playlist's own entries).
  virtual std::string title_utf8(int) const { return {}; }
  // The path a song given by file was appended with ("" for a playlist's own entries).
  virtual std::string entry_file(int) const { return {}; }
  // Moves the playing song to `ms` from its start; where it landed (ms), or -1 when it cannot.
  virtual int64_t SeekTo(uint32_t /*ms*/) { return -1; }
  // Where the playing song's loop starts (ms), or -1.
  virtual int64_t loop_start_ms() const { return -1; }
};

// The output volume: 0 dB (the level the songs were made for) down to -45 dB in 3 dB steps,
// then silent.
inline constexpr int kVolumeSteps = 16;  // 0 dB, -3 dB, ..., -45 dB
inline constexpr int kVolumeSilent = kVolumeSteps;

// The length of the fade into the next song (the game's master-volume fade; org/fades.h).
inline constexpr int kFadeMs = org::kJukeboxFadeMs;
// How far the seek keys jump.
inline constexpr int kSeekStepMs = 5000;

class JukeboxModel {
 public:
  using ClockMs = uint32_t (*)();
  explicit JukeboxModel(JukeboxPlayer* player, ClockMs clock = nullptr);

  // --- the frame
  // Start of a frame: a song that changed since the last frame starts the time again; the
  // elapsed seconds are taken for this frame (they stand still while paused).
  void BeginFrame();
  // End of a frame's actions: past the current song's time limit (and not endless, not paused)
  // the song at play order position (current song's number + 1) is asked for, wrapping to
  // position 0 after the last. The game's rule, kept: the play order is indexed by the song's
  // number, not by the song's own position in the order, so under shuffle this is not simply
  // "the next song in the order".
  void AutoAdvance();

  // --- the operations
  // Play order positions 0..entry_count - 1 hold their own numbers.
  void ResetPlayOrder();
  // Plays from its start the song at play order position (current song's number) — the game's
  // rule, as AutoAdvance's; the song at position 0 before any.
  void Play();
  void Next();
  void Previous();
  // Shuffles the play order (again) / restores it.
  void ShuffleOn();
  void ShuffleOff();
  void SetEndless(bool endless) { endless_ = endless; }
  // Beyond the game's jukebox (a media player's "no loop"): when the last song in the play order
  // runs out of time, it fades out and nothing more plays, instead of the order going round.
  void SetStopAfterLast(bool stop) { stop_after_last_ = stop; }
  bool stop_after_last() const { return stop_after_last_; }
  void ToggleEndless() { endless_ = !endless_; }
  // Holds or resumes the song: its time, its time limit, a fade and its sound all stand still.
  void SetPaused(bool paused);
  void TogglePause() { SetPaused(!paused_); }
  // Stops the song; the time shows 0:00 until the next play.
  void Stop();
  // `step`: 0 (0 dB) .. kVolumeSilent. `shown`: counted as a change a display shows (not the
  // volume remembered from the last run).
  void SetVolumeStep(int step, bool shown = true);
  void VolumeUp() { SetVolumeStep(volume_step_ - 1); }
  void VolumeDown() { SetVolumeStep(volume_step_ + 1); }
  // Appends a song to the playlist and the play order; its entry index, or -1 when full.
  int AppendSong(const std::string& file, const std::string& title_cp932, int time_limit,
                 const std::string& title_utf8 = {});
  // Plays playlist entry `index` now, as next and previous do (the time starts again).
  void PlayEntry(int index);
  // Moves the playing song to `ms` from its start (by `delta_ms` from where it is, never before
  // its start; to where its loop starts): the elapsed time becomes the song's new position, a
  // held song stays held, and past the time limit it fades into the next as it would have.
  // False when nothing plays or the player cannot.
  bool SeekTo(uint32_t ms);
  bool SeekBy(int32_t delta_ms);
  bool SeekToLoopStart();

  // --- what there is to show
  int current_index() const { return player_->current_index(); }
  int entry_count() const { return player_->entry_count(); }
  int song_count() const;
  const char* title(int index) const { return player_->title(index); }
  int time_limit(int index) const { return player_->time_limit(index); }
  std::string entry_file(int index) const { return player_->entry_file(index); }
  // The title in UTF-8 as the user wrote it, where the entry has one ("" otherwise: the CP932
  // title is the song's own).
  std::string title_utf8(int index) const { return player_->title_utf8(index); }
  bool shuffle() const { return shuffle_; }
  bool endless() const { return endless_; }
  bool paused() const { return paused_; }
  bool playing() const { return timer_running_ && player_->current_index() >= 0; }
  int volume_step() const { return volume_step_; }
  // Times the volume was asked to change (also at an end of its range), for a display.
  uint32_t volume_changes() const { return volume_changes_; }
  // The volume law, in one place: a step's linear gain (1 at step 0, 3 dB less a step, 0 when
  // silent), the same in Q15 for the output, and the step nearest a linear gain.
  static double VolumeOfStep(int step);
  static int32_t GainForStep(int step);
  static int StepForVolume(double volume);
  int play_order(int position) const {
    return position >= 0 && position < static_cast<int>(play_order_.size()) ? play_order_[position]
                                                                            : 0;
  }
  // Elapsed seconds as this frame shows them; milliseconds into the song (for the bus): the
  // song's own position, which seeks move and pauses hold.
  uint32_t shown_seconds() const { return shown_seconds_; }
  uint32_t elapsed_ms() const;
  // How long entry `index` plays as things stand: its time limit, the second in which the
  // limit is found past, and the fade; -1 with endless repeat on (or a limit that never ends).
  int64_t played_length_ms(int index) const;
  // Seeks made so far (the bus announces each).
  uint32_t seek_count() const { return seek_count_; }
  // True when the song keys have a song to act on.
  bool HasSongs() const { return player_->entry_count() >= 2; }

  void SetClockForTesting(ClockMs clock) { clock_ = clock; }

 private:
  int PositionOf(int song) const;
  void StartTime();
  void PlayFromStart(int song);

  JukeboxPlayer* player_;
  ClockMs clock_;
  int order_size() const { return static_cast<int>(play_order_.size()); }

  std::vector<int32_t> play_order_ = std::vector<int32_t>(kPlayOrderSize, 0);
  int previous_song_ = 0;
  int frame_song_ = -1;  // the current song when the frame began
  uint32_t start_time_ = 0;
  uint32_t paused_at_ = 0;
  bool timer_running_ = false;
  bool shuffle_ = false;
  bool endless_ = false;
  bool stop_after_last_ = false;
  bool paused_ = false;
  int volume_step_ = 0;
  uint32_t shown_seconds_ = 0;
  uint32_t seek_count_ = 0;
  uint32_t volume_changes_ = 0;
};

}  // namespace app
