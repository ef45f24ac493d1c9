#include "app/data_report.h"

#include <cstdio>
#include <string>

#include "runtime/platform/data_path.h"
#include "runtime/platform/text_encoding.h"

namespace app {
namespace {

constexpr const char* kPlaylist = "Org\\music.txt";
constexpr const char* kWaveBank = "Org\\Wave100.dat";

std::string Where(const char* data_path) {
  const std::string folder = platform::CurrentDirectory();
  return platform::ResolveDataPath(data_path) + " (in " + (folder.empty() ? "?" : folder) + ")";
}

}  // namespace

void ReportScreenDataProblems() {
  // The font's picture, else the game's older letter sheet (as BitmapFont::LoadFont falls back).
  if (!platform::DataFileExists("system\\font_01.png") &&
      !platform::DataFileExists("system\\letter.bmp"))
    std::fprintf(stderr, "jukebox: no font: looked for %s and system/letter.bmp; no text shows\n",
                 Where("system\\font_01.png").c_str());
  if (!platform::DataFileExists(kBackgroundPicture))
    std::fprintf(stderr, "jukebox: no background picture: looked for %s; the screen stays black\n",
                 Where(kBackgroundPicture).c_str());
}

void ReportDataProblems(const org::MusicPlayer& player, bool have_sound_device) {
  if (!have_sound_device) {
    std::fprintf(stderr, "jukebox: no sound device: songs will be silent\n");
    return;  // without a device the player reads nothing more
  }
  if (!platform::DataFileExists(kWaveBank)) {
    std::fprintf(stderr, "jukebox: no waveform bank: looked for %s; songs will not play\n",
                 Where(kWaveBank).c_str());
    return;
  }
  if (!platform::DataFileExists(kPlaylist)) {
    std::fprintf(stderr, "jukebox: no playlist found: looked for %s\n", Where(kPlaylist).c_str());
    return;
  }
  for (int i = 0; i + 1 < player.entry_count; ++i) {
    if (platform::DataFileExists(player.paths[i])) continue;
    std::fprintf(stderr, "jukebox: playlist entry %d (%s): cannot open %s\n", i,
                 platform::Cp932ToUtf8(player.titles[i]).c_str(),
                 platform::ResolveDataPath(player.paths[i]).c_str());
  }
}

}  // namespace app
