#include "game_music/music_player.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

#include "game_music/drum_folder.h"
#include "game_music/melody_voice.h"
#include "game_music/org_song.h"
#include "org/song_loop.h"
#include "org/step_replay.h"
#include "runtime/platform/data_path.h"

namespace org {
namespace {

void CopyField(char* field, size_t field_size, const std::string& text) {
  const size_t length = std::min(text.size(), field_size - 1);
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

}  // namespace

MusicPlayer::MusicPlayer() : timer_(&engine_) {}

MusicPlayer::~MusicPlayer() {
  if (ready) {
    StopPlayback();
    ReleasePlayer();
  }
}

bool MusicPlayer::InitEngine(platform::SoundDevice* device, const char* bank_path) {
  engine_.SetDevice(device);
  device_ = device;
  if (!device) return false;
  if (!LoadWaveBank(engine_, bank_path)) return false;
  engine_.SetEmptySong(DefaultSong());
  return true;
}

void MusicPlayer::StoreEntries(const std::vector<PlaylistEntry>& entries) {
  for (size_t k = 0; k < entries.size(); ++k) {
    time_limits[k] = entries[k].time_limit;
    CopyField(paths[k], kPathField, entries[k].path);
    CopyField(titles[k], kTitleField, entries[k].title);
  }
  entry_count = static_cast<int32_t>(entries.size()) + 1;
}

void MusicPlayer::Init(platform::SoundDevice* device) {
  InitFrom(device, "Org\\Wave100.dat", "Org\\music.txt");
}

void MusicPlayer::InitFrom(platform::SoundDevice* device, const char* bank_path,
                           const char* playlist_path) {
  if (!InitEngine(device, bank_path)) return;
  std::vector<uint8_t> text;
  if (platform::ReadDataFile(playlist_path, kMaxPlaylistBytes, &text))
    StoreEntries(ParsePlaylist(text.data(), text.size()));
  // Where the game's loader looks for the first entry's drums: the kit a song of the user's own
  // falls back on (kept here, as songs given on a command line replace the entries).
  const std::string first_entry = entry_count >= 2 && paths[0][0] ? paths[0] : "Org\\x.org";
  const std::string kit = DrumPathForSong(first_entry, 0);
  std::error_code error;
  playlist_kit_ =
      std::filesystem::absolute(platform::ResolveDataPath(kit.substr(0, kit.rfind('\\'))), error)
          .lexically_normal()
          .string();
  ready = 1;
  current_index = -1;
}

void MusicPlayer::InitWithSong(platform::SoundDevice* device, const std::string& bank_file,
                               const std::string& song_file) {
  engine_.SetDevice(device);
  device_ = device;
  if (!device || !LoadWaveBankFile(engine_, bank_file)) return;
  engine_.SetEmptySong(DefaultSong());
  PlaylistEntry entry;
  entry.title = CutCp932(song_file, kTitleField - 1);
  StoreEntries({entry});
  // The song's path is the user's own, whatever its length or characters.
  tool_song_path_ = song_file;
  ready = 1;
  current_index = -1;
}

void MusicPlayer::PlayIndex(int index) {
  if (!ready) return;
  // Only entries that exist (and -1) are played: the last index is the empty one past the end.
  if (index != -1 && (index < 0 || index > entry_count - 2)) return;
  if (paused_) {
    // A held song is let go: its sound comes back, and when it is the one asked for, its timer
    // goes on from where it stood.
    paused_ = false;
    device_->SetOutputPaused(false);
    if (index == current_index && index != -1) StartPlayback();
  }
  fade_volume = 127;
  requested_index = -1;
  if (fade_to_silence_ && device_) device_->SetOutputGain(output_gain_q15_);
  if (switch_pending && current_index == index) SetMusicVolume(127);
  if (index == -1) SetMusicVolume(0);
  switch_pending = 0;
  if (current_index == index) {
    SetMusicVolume(127);
    return;
  }
  StopPlayback();
  if (index != -1) SetMusicVolume(127);
  current_index = index;
  if (index == -1) return;
  if (!tool_song_path_.empty() || !entry_file(index).empty()) {
    // A song of the user's own plays only when it loads: never the song before it again.
    if (!LoadAppendedSong(tool_song_path_.empty() ? entry_file(index) : tool_song_path_)) return;
  } else if (index < kMaxPlaylistEntries) {
    LoadSongAt(paths[index]);
  }
  StartPlayback();
}

void MusicPlayer::RequestSwitch(int index) {
  if (!ready || index == current_index) return;
  switch_pending = 1;
  requested_index = index;
}

void MusicPlayer::UpdateFrame() {
  if (!ready || !switch_pending) return;
  --fade_volume;
  SetMusicVolume(fade_volume);
  if (fade_to_silence_ && device_)
    device_->SetOutputGain(
        static_cast<int32_t>(int64_t{output_gain_q15_} * fade_volume * fade_volume / (127 * 127)));
  if (fade_volume <= 0) PlayIndex(requested_index);
}

void MusicPlayer::StopPlayback() {
  if (!ready) return;
  resume_after_ms_ = -1;
  if (paused_) {
    paused_ = false;
    device_->SetOutputPaused(false);
  }
  timer_.Stop();
  engine_.EndNotes();
}

void MusicPlayer::ReleasePlayer() {
  if (!ready) return;
  engine_.SetEmptySong(engine_.song());  // the song's events go; its header stays
  for (int i = 0; i < kMelodyTracks; ++i) {
    engine_.melody().Release(i);
    engine_.drums().Release(i);
  }
  ready = 0;
}

void MusicPlayer::SetMusicVolume(int volume) {
  if (!ready) return;
  if (volume >= 0 && volume <= 127) engine_.SetMasterVolume(volume);
}

void MusicPlayer::LoadSongAt(const char* path) { LoadOrgSong(engine_, path); }

bool MusicPlayer::LoadAppendedSong(const std::string& file) {
  std::string why;
  std::vector<uint8_t> bytes;
  if (ReadUserSongFile(file, &bytes, &why) &&
      LoadUserSong(engine_, bytes, user_drums_ ? user_drums_ : DrumsForSong(file, bytes), &why))
    return true;
  SayOnce(file + ": " + why + ": not played");
  return false;
}

DrumProvider MusicPlayer::DrumsForSong(const std::string& file, const std::vector<uint8_t>& bytes) {
  // The kit beside the song (a game folder of its own), else the kit the playlist's songs use
  // (where the game's loader looks for the first entry's drums), else ours.
  ParsedSong song;
  ParseOrgSong(bytes.data(), bytes.size(), &song);
  for (const std::string& folder : {DrumFolderFor(file, ""), playlist_kit_}) {
    if (!HasAnyDrumOf(song, folder)) continue;
    return [this, folder](int slot, int drum, std::vector<uint8_t>* out) {
      std::vector<std::string> missing;
      if (FolderDrums(folder, &missing)(slot, drum, out)) return true;
      for (const std::string& path : missing) SayOnce("drum file not found: " + path);
      return false;
    };
  }
  return BuiltInDrums();
}

void MusicPlayer::SayOnce(const std::string& line) {
  if (std::find(said_.begin(), said_.end(), line) != said_.end()) return;
  said_.push_back(line);
  std::fprintf(stderr, "jukebox: %s\n", line.c_str());
}

void MusicPlayer::SetPaused(bool paused) {
  if (!ready || paused == paused_) return;
  if (paused && current_index < 0) return;
  paused_ = paused;
  if (paused) {
    timer_.Stop();  // the sequencer keeps its step and its notes' counts
    device_->SetOutputPaused(true);
  } else {
    device_->SetOutputPaused(false);
    StartPlayback();  // the next step comes one period later, from where it stood
  }
}

void MusicPlayer::SetOutputGain(int32_t gain_q15) {
  output_gain_q15_ = gain_q15;
  if (device_) device_->SetOutputGain(gain_q15);
}

bool MusicPlayer::AppendEntry(const std::string& file, const std::string& title_cp932,
                              int time_limit, const std::string& title_utf8) {
  if (!ready) return false;
  const int index = std::max(entry_count - 1, 0);
  if (index >= kMaxAppendedEntries) return false;
  if (entry_files_.size() <= static_cast<size_t>(index)) {
    entry_files_.resize(std::max<size_t>(index + 1, kMaxPlaylistEntries));
    entry_titles_.resize(entry_files_.size());
  }
  entry_files_[index] = file;
  entry_titles_[index] = title_utf8;
  const std::string title = CutCp932(title_cp932, kTitleField - 1);
  if (index < kMaxPlaylistEntries) {
    time_limits[index] = time_limit;
    // The record's path field is the game's; a song given by file is played from entry_files_.
    CopyField(paths[index], kPathField, "");
    CopyField(titles[index], kTitleField, title);
  } else {
    const size_t beyond = static_cast<size_t>(index - kMaxPlaylistEntries);
    more_titles_.resize(beyond + 1);
    more_limits_.resize(beyond + 1);
    more_titles_[beyond] = title;
    more_limits_[beyond] = time_limit;
  }
  entry_count = index + 2;  // the entries plus one, as the playlist counts them
  return true;
}

void MusicPlayer::ClearPlaylist() {
  entry_count = 0;
  entry_files_.clear();
  entry_titles_.clear();
  more_titles_.clear();
  more_limits_.clear();
}

const char* MusicPlayer::title(int index) const {
  if (index >= 0 && index < kMaxPlaylistEntries) return titles[index];
  const size_t beyond = static_cast<size_t>(index - kMaxPlaylistEntries);
  return index >= 0 && beyond < more_titles_.size() ? more_titles_[beyond].c_str() : "";
}

int MusicPlayer::time_limit(int index) const {
  if (index >= 0 && index < kMaxPlaylistEntries) return time_limits[index];
  const size_t beyond = static_cast<size_t>(index - kMaxPlaylistEntries);
  return index >= 0 && beyond < more_limits_.size() ? more_limits_[beyond] : 0;
}

const std::string& MusicPlayer::entry_title_utf8(int index) const {
  static const std::string kNone;
  if (index < 0 || static_cast<size_t>(index) >= entry_titles_.size()) return kNone;
  return entry_titles_[index];
}

const std::string& MusicPlayer::entry_file(int index) const {
  static const std::string kNone;
  if (index < 0 || static_cast<size_t>(index) >= entry_files_.size()) return kNone;
  return entry_files_[index];
}

void MusicPlayer::StartPlayback() {
  if (resume_after_ms_ >= 0) {
    timer_.StartAfter(static_cast<uint32_t>(resume_after_ms_), engine_.song().wait);
  } else {
    timer_.Start(engine_.song().wait);
  }
  resume_after_ms_ = -1;
}

int64_t MusicPlayer::SeekTo(uint32_t ms) {
  const uint16_t wait = engine_.song().wait;
  if (!ready || current_index < 0 || !device_ || device_->SeekRate() <= 0 || wait == 0) return -1;
  timer_.Stop();
  OutputSeek seek;
  SeekOutput(engine_, ms, !paused_, &seek);
  const int rate = seek.rate;
  // The step to come falls part of a period later.
  const int64_t to_next = FrameOfTick(wait, rate, seek.at.next_tick) - seek.at.frame;
  resume_after_ms_ = (to_next * 1000 + rate / 2) / rate;
  if (!paused_) StartPlayback();
  return seek.at.frame * 1000 / rate;
}

int64_t MusicPlayer::loop_start_ms() const {
  if (!ready || current_index < 0) return -1;
  const ParsedSong& song = engine_.song();
  return SaturatingMultiply(kLeadSteps + IntroSteps(song), song.wait);
}

int32_t MusicPlayer::playing_step() const { return engine_.last_played_step(); }

int32_t MusicPlayer::loop_count() const { return engine_.loop_count(); }

void MusicPlayer::SetTrackMuted(int track, bool muted) { engine_.SetTrackMuted(track, muted); }

void MusicPlayer::WatchTracks(int frames) {
  if (!device_) return;
  device_->SetGroupTapFrames(frames);
  device_->SetGroupMetering(frames > 0);
}

int MusicPlayer::CopyTrackScope(int track, int32_t* mono, int count) {
  return device_ ? device_->CopyGroupTap(track, mono, count) : 0;
}

void MusicPlayer::TakeTrackPeaks(int32_t peaks[kTrackCount]) {
  for (int track = 0; track < kTrackCount; ++track)
    peaks[track] = device_ ? device_->GroupPeak(track) : 0;
  if (device_) device_->ResetGroupPeaks();
}

}  // namespace org
