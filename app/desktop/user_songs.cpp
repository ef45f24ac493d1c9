#include "app/desktop/user_songs.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/bitmap_font.h"
#include "app/jukebox_model.h"
#include "game_music/org_song.h"
#include "game_music/playlist.h"
#include "org/song_loop.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/file_reader.h"
#include "runtime/platform/native_file.h"
#include "runtime/platform/text_encoding.h"

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr int kShortestLimit = 30;

bool HasOrgExtension(const fs::path& path) {
  std::string extension = platform::Utf8PathOf(path.extension());
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".org";
}

// Adds one song file; a problem line when it cannot be played.
void AddSongFile(const fs::path& path, const std::string& title_cp932, int time_limit,
                 CollectedSongs* out) {
  const platform::FileContents file =
      platform::ReadFileUpTo(platform::Utf8PathOf(path), org::kMaxOrgFileBytes);
  if (!file.ok()) {
    out->problems.push_back(platform::Utf8PathOf(path) + ": " + file.why);
    return;
  }
  std::string why;
  const int own_limit = TimeLimitForSong(file.bytes, &why);
  if (own_limit < 0) {
    out->problems.push_back(platform::Utf8PathOf(path) + ": " + why);
    return;
  }
  UserSong song;
  song.file = platform::Utf8PathOf(fs::absolute(path).lexically_normal());
  song.title = title_cp932.empty() ? FontSafeTitle(platform::Utf8PathOf(path.stem())) : title_cp932;
  song.title_utf8 =
      title_cp932.empty() ? platform::Utf8PathOf(path.stem()) : platform::Cp932ToUtf8(title_cp932);
  song.time_limit = time_limit > 0 ? time_limit : own_limit;
  out->songs.push_back(song);
}

void AddFolder(const fs::path& folder, CollectedSongs* out) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    if (entry.is_regular_file() && HasOrgExtension(entry.path())) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  if (files.empty())
    out->problems.push_back(platform::Utf8PathOf(folder) + ": no .org songs in this folder");
  for (const fs::path& file : files) AddSongFile(file, "", 0, out);
}

// A playlist's entries name their songs as the game folder sees them ("Org\song.org" in
// "Org/music.txt"): each is looked for beside the playlist, then in the folder above it.
void AddPlaylist(const fs::path& playlist, CollectedSongs* out) {
  const std::string playlist_path = platform::Utf8PathOf(playlist);
  const platform::FileContents text = platform::ReadFileUpTo(playlist_path, org::kMaxPlaylistBytes);
  if (!text.ok()) {
    out->problems.push_back(playlist_path + ": " + text.why);
    return;
  }
  if (text.cut_short)
    out->problems.push_back(playlist_path + ": what follows its first " +
                            std::to_string(org::kMaxPlaylistBytes) + " bytes");
  // Every entry is taken, however many (the game's own playlist stops at 120); the jukebox's
  // playlist says where it is full.
  const std::vector<org::PlaylistEntry> entries =
      org::ParsePlaylist(text.bytes.data(), text.bytes.size(), SIZE_MAX);
  if (entries.empty()) out->problems.push_back(playlist_path + ": no entries in this playlist");
  for (const org::PlaylistEntry& entry : entries) {
    const std::string relative = platform::PrintableCp932(entry.path);
    const std::string found = org::FindPlaylistSong(playlist_path, entry.path);
    if (found.empty()) {
      out->problems.push_back(playlist_path + ": " + relative + ": no such song");
      continue;
    }
    AddSongFile(platform::NativePath(found), entry.title, entry.time_limit, out);
  }
}

}  // namespace

std::string FontSafeTitle(const std::string& utf8) {
  std::string title;
  for (size_t at = 0; at < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[at]);
    const size_t width = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const std::string character = utf8.substr(at, width);
    at += width;
    bool ok = false;
    const std::string cp932 = platform::Utf8ToCp932(character, &ok);
    // Drawable when the font turns it into at least one cell and it does not end the text.
    const std::string codes = ok ? BitmapFont::ConvertText(cp932) : std::string();
    title += !codes.empty() && codes.find('\0') == std::string::npos ? cp932 : "?";
  }
  return title;
}

int TimeLimitForSong(const std::vector<uint8_t>& bytes, std::string* why) {
  auto song = std::make_unique<org::ParsedSong>();
  const org::ParseResult parsed = org::ParseOrgSong(bytes.data(), bytes.size(), song.get());
  if (const char* problem = org::WhyUnplayable(parsed, *song)) {
    if (why) *why = problem;
    return -1;
  }
  const double step_seconds = song->wait / 1000.0;
  // The song's own time: its intro and two passes of its loop (the one-step lead not counted),
  // the loop's span in 64 bits (a loop from -2^31 to 2^31-1 spans more steps than an int holds).
  const double intro = static_cast<double>(org::IntroSteps(*song)) * step_seconds;
  const int64_t loop_steps = int64_t{song->loop_end} - song->loop_start;
  const double loop = static_cast<double>(std::max<int64_t>(loop_steps, 0)) * step_seconds;
  const double limit = std::min(std::ceil(intro + 2 * loop), double{INT_MAX});
  return std::max(kShortestLimit, static_cast<int>(limit));
}

int AddSongs(const std::vector<UserSong>& songs, JukeboxModel* model) {
  int first = -1;
  for (const UserSong& song : songs) {
    const int index = model->AppendSong(song.file, song.title, song.time_limit, song.title_utf8);
    if (index < 0) {
      const size_t left_out = songs.size() - static_cast<size_t>(&song - songs.data());
      std::fprintf(stderr,
                   "jukebox: the playlist is full: %s and what follows (%zu songs) are left out\n",
                   platform::PrintableText(song.file).c_str(), left_out);
      break;
    }
    if (first < 0) first = index;
  }
  return first;
}

void PrintProblems(const CollectedSongs& collected) {
  for (const std::string& problem : collected.problems)
    std::fprintf(stderr, "jukebox: %s: left out\n", platform::PrintableText(problem, 1024).c_str());
}

int AddSourcesAndPlay(const std::vector<std::string>& sources, JukeboxModel* model) {
  const CollectedSongs collected = CollectSongs(sources);
  PrintProblems(collected);
  const int first = AddSongs(collected.songs, model);
  if (first >= 0) model->PlayEntry(first);
  return first;
}

CollectedSongs CollectSongs(const std::vector<std::string>& sources) {
  CollectedSongs out;
  for (const std::string& source : sources) {
    const fs::path path = platform::NativePath(source);
    std::error_code error;
    if (fs::is_directory(path, error)) {
      AddFolder(path, &out);
    } else if (!fs::exists(path, error)) {
      out.problems.push_back(source + ": no such file or folder");
    } else if (HasOrgExtension(path)) {
      AddSongFile(path, "", 0, &out);
    } else {
      AddPlaylist(path, &out);
    }
  }
  return out;
}

}  // namespace app
