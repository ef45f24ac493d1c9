// The music player: the engine's only face towards the jukebox. It owns the playlist, initialises
// the engine on the sound device, plays an entry by index, fades the current song out over 127
// frames before switching to a requested entry, and shuts the engine down. Main thread; the
// jukebox calls it from its frame loop (one UpdateFrame per 35 ms frame).
#pragma once

#include <cstdint>
#include <string>

#include "org/playlist.h"
#include "runtime/platform/sound_interface.h"

namespace org {

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
  // The engine set up as Init does, with a playlist of the one song `song_path` (tools).
  void InitWithSong(platform::SoundDevice* device, const char* bank_path, const char* song_path);

  // Plays entry `index` (0..entry_count - 2) from its start, or stops with -1. The entry that is
  // already playing is not restarted. Other indices are ignored.
  void PlayIndex(int index);
  // Fades the current song out, then plays `index`.
  void RequestSwitch(int index);
  // One frame of a pending fade.
  void UpdateFrame();
  // Stops the timer (waiting for a running step) and ends every melody note.
  void StopPlayback();
  // Releases the engine's voices and event stores.
  void ReleasePlayer();
  // Sets the sequencer's master volume when `volume` is 0..127.
  void SetMusicVolume(int volume);

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
  void StartPlayback();

  std::string tool_song_path_;  // InitWithSong's song, whatever its length
};

}  // namespace org
