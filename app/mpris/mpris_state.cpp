#include "app/mpris/mpris_state.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "runtime/platform/text_encoding.h"

namespace app::mpris {

PlayerState StateOf(const JukeboxModel& model) {
  PlayerState state;
  state.playback_status = !model.playing() ? "Stopped" : model.paused() ? "Paused" : "Playing";
  // The playlist goes round by itself unless told to stop after its last song.
  state.loop_status = model.endless() ? "Track" : model.stop_after_last() ? "None" : "Playlist";
  state.shuffle = model.shuffle();
  state.volume = VolumeOfStep(model.volume_step());
  state.can_go = model.HasSongs();
  const int index = model.current_index();
  if (index >= 0) {
    state.metadata.track_id = "/org/orvalinde/jukebox/track/" + std::to_string(index);
    // A song given by file keeps every character of its name here, whatever the font draws.
    const std::string own = model.title_utf8(index);
    state.metadata.title = own.empty() ? platform::Cp932ToUtf8(model.title(index)) : own;
    state.metadata.length_us = std::max<int64_t>(model.played_length_ms(index), 0) * 1000;
    const std::string file = model.entry_file(index);
    if (!file.empty()) state.metadata.url = FileUriOfPath(file);
  } else {
    state.metadata.track_id = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
  }
  return state;
}

int64_t SeekTarget(int64_t position_us, int64_t offset_us, int64_t length_us) {
  const int64_t target = std::max<int64_t>(position_us + offset_us, 0);
  return length_us > 0 && target > length_us ? -1 : target;
}

bool SetPositionApplies(const TrackMetadata& playing, const std::string& track_id,
                        int64_t position_us) {
  return track_id == playing.track_id && position_us >= 0 &&
         (playing.length_us == 0 || position_us <= playing.length_us) &&
         track_id != "/org/mpris/MediaPlayer2/TrackList/NoTrack";
}

int VolumeStepFor(double volume) { return JukeboxModel::StepForVolume(volume); }

double VolumeOfStep(int step) { return JukeboxModel::VolumeOfStep(step); }

std::string PathOfFileUri(const std::string& uri) {
  const std::string scheme = "file://";
  if (uri.compare(0, scheme.size(), scheme) != 0) return {};
  std::string rest = uri.substr(scheme.size());
  if (rest.compare(0, 10, "localhost/") == 0) rest = rest.substr(9);
  if (rest.empty() || rest[0] != '/') return {};  // another host's file
  std::string path;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() &&
        std::isxdigit(static_cast<unsigned char>(rest[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(rest[i + 2]))) {
      path += static_cast<char>(std::stoi(rest.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      path += rest[i];
    }
  }
  return path.find('\0') == std::string::npos ? path : std::string();
}

std::string FileUriOfPath(const std::string& path) {
  std::string uri = "file://";
  for (unsigned char c : path) {
    const bool plain = std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      uri += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      uri += escaped;
    }
  }
  return uri;
}

}  // namespace app::mpris
