// The music player: the jukebox's (and orgplay's) only way to the music. It owns an engine, the
// timer that plays it and the playlist; it puts the engine on the sound device, plays an entry by
// index, fades the current song out over 127 frames before switching to a requested entry, seeks,
// gives displays the song, its step, its tracks' signals and levels and live mutes, and shuts the
// engine down. Main thread; the jukebox calls it from its frame loop (one UpdateFrame per 35 ms
// frame); the engine's ticks run on the timer's thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game_music/playlist.h"
#include "game_music/song_timer.h"
#include "org/engine.h"
#include "runtime/platform/sound_interface.h"

namespace org {

// Songs a desktop player's playlist may hold (the game's own playlist keeps its 120).
inline constexpr int kMaxAppendedEntries = 100000;

class MusicPlayer {
 public:
  MusicPlayer();
  virtual ~MusicPlayer();
  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;

  // Hands the device to the engine, loads Org\Wave100.dat and reads Org\music.txt. Without a
  // device or a bank the player stays not ready and ignores every call.
  void Init(platform::SoundDevice* device);
  // The same with other files (tools and tests): the bank and the playlist as data paths.
  void InitFrom(platform::SoundDevice* device, const char* bank_path, const char* playlist_path);
  // The engine set up as Init does, with a playlist of the one song `song_file` (tools): the bank
  // and the song as files of this system (paths used as they are).
  void InitWithSong(platform::SoundDevice* device, const std::string& bank_file,
                    const std::string& song_file);
  // Where the drums of songs given by file come from, instead of the choice described at
  // AppendEntry (tools that make their own choice and say it themselves).
  void SetUserSongDrums(DrumProvider drums) { user_drums_ = std::move(drums); }

  // Plays entry `index` (0..entry_count - 2) from its start, or stops with -1. The entry that is
  // already playing is not restarted. Other indices are ignored.
  void PlayIndex(int index);
  // Fades the current song out (the game's master-volume fade, one volume step per UpdateFrame;
  // org/fades.h says how it differs from the renderer's), then plays `index`.
  void RequestSwitch(int index);
  // One frame of a pending fade.
  void UpdateFrame();
  // Stops the timer (waiting for a running step) and ends every melody note.
  void StopPlayback();
  // Releases the engine's voices and event stores.
  void ReleasePlayer();
  // Sets the sequencer's master volume when `volume` is 0..127.
  void SetMusicVolume(int volume);

  // Beyond the jukebox's own playlist (a desktop player): holds the song where it is (its timer
  // stops, the output falls silent with every voice in place) or lets it go on from there.
  // Playing any entry lets go of a hold.
  void SetPaused(bool paused);
  bool paused() const { return paused_; }
  // The output's gain, Q15 (32768 = 0 dB).
  void SetOutputGain(int32_t gain_q15);
  // A fade into the next song that ends in silence: the game's fade lowers the music through
  // the master volume (127 steps of its volume law, ending about 20 dB down) and then cuts;
  // with this on, the output follows the square of the master volume as well, so the last steps
  // go all the way down. Off by default.
  void SetFadeToSilence(bool on) { fade_to_silence_ = on; }
  // Moves the playing song to `ms` milliseconds from its start, exactly: every voice as it would
  // be had the song played there (its step s sounds at (s + 1) × the step's ms, as the timer
  // plays it). A held song stays held, a fade goes on. Returns where it landed (ms), or -1 when
  // nothing plays or the device cannot move its voices (one that does not mix them itself).
  int64_t SeekTo(uint32_t ms);
  // Where the playing song's loop starts, in the same time (ms); -1 when nothing plays.
  int64_t loop_start_ms() const;

  // For displays. The engine the player plays (its song: meaningful while ready and an entry
  // plays); the step that sounds now (-1 before the first) and the loop-backs so far (any thread).
  const Engine& engine() const { return engine_; }
  int32_t playing_step() const;
  int32_t loop_count() const;
  // Silences a track live (its voices go on unheard) or gives it back.
  void SetTrackMuted(int track, bool muted);
  // Keeps the last `frames` frames of each track's own signal and each track's level, as the
  // sound device taps and meters them (0: stops; they cost the sound thread a little while kept).
  void WatchTracks(int frames);
  // The newest `count` values of a track's own signal (16-bit units, mono), oldest first; how many.
  int CopyTrackScope(int track, int32_t* mono, int count);
  // Each track's peak (16-bit units) since the last call.
  void TakeTrackPeaks(int32_t peaks[kTrackCount]);
  // Replaces the timer's tick source (tests step the ticks themselves; null: the timer's own
  // thread). Only while nothing plays.
  void SetTickSource(TickSource* source) { timer_.SetTickSource(source); }
  // The timer's id: 0 until a song first plays.
  uint32_t timer_id() const { return timer_.id(); }
  // Appends an entry for a song file (a path this system opens, UTF-8, of any length, never
  // converted): its title (CP932, cut to the field) and time limit. False when the playlist is
  // full (kMaxAppendedEntries: past the game's 120 entries the record's arrays end, and the
  // rest are kept beside them). Works whether or not a playlist was read; with none, the song
  // becomes entry 0.
  // Such a song never raises a message box: its drums are the kit beside it (its Org folder),
  // else the kit the playlist's songs use, else the shipped kit; each missing drum file, and a
  // song that cannot be loaded when its turn comes, is one line on standard error, once.
  bool AppendEntry(const std::string& file, const std::string& title_cp932, int time_limit,
                   const std::string& title_utf8 = {});
  // Empties the playlist (the songs given on a command line replace it).
  void ClearPlaylist();
  // The file an appended entry plays ("" for the playlist's own entries).
  const std::string& entry_file(int index) const;
  // An appended entry's title as the user wrote it, UTF-8 ("" for the playlist's own entries).
  const std::string& entry_title_utf8(int index) const;
  // Any entry's title (CP932) and time limit, the record's or kept beside it ("" and 0 outside).
  const char* title(int index) const;
  int time_limit(int index) const;

  // The record, read directly by the jukebox.
  uint8_t ready = 0;
  int32_t fade_volume = 127;
  int32_t requested_index = -1;
  uint8_t switch_pending = 0;
  int32_t entry_count = 0;  // entries read plus one
  char paths[kMaxPlaylistEntries][kPathField] = {};
  char titles[kMaxPlaylistEntries][kTitleField] = {};
  int32_t time_limits[kMaxPlaylistEntries] = {};
  int32_t current_index = -1;

 private:
  bool InitEngine(platform::SoundDevice* device, const char* bank_path);
  void StoreEntries(const std::vector<PlaylistEntry>& entries);
  void LoadSongAt(const char* path);
  bool LoadAppendedSong(const std::string& file);
  // The drums of the song `file` whose bytes are `bytes`.
  DrumProvider DrumsForSong(const std::string& file, const std::vector<uint8_t>& bytes);
  void SayOnce(const std::string& line);
  void StartPlayback();

  std::string tool_song_path_;             // InitWithSong's song, whatever its length
  DrumProvider user_drums_;                // set by a tool; else chosen per song
  std::vector<std::string> said_;          // lines already said on standard error
  std::string playlist_kit_;               // where the playlist's songs find their drums
  std::vector<std::string> entry_files_;   // appended songs' files, by entry
  std::vector<std::string> entry_titles_;  // and their UTF-8 titles
  std::vector<std::string> more_titles_;   // CP932 titles of the entries past the record's
  std::vector<int32_t> more_limits_;       // and their time limits
  bool paused_ = false;
  bool fade_to_silence_ = false;
  int32_t output_gain_q15_ = 32768;  // the listener's volume
  int64_t resume_after_ms_ = -1;     // after a seek while held: when the first step comes
  platform::SoundDevice* device_ = nullptr;
  Engine engine_;
  SongTimer timer_;  // plays engine_; declared after it, so stopped before it goes
};

}  // namespace org
