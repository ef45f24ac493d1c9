// What the jukebox tells a user on standard error about its data at start-up, one line each:
// no playlist (and where it looked), no sound device (songs will be silent), no waveform bank,
// and each playlist entry whose song cannot be opened. The screen stays as it is; these lines
// say why it may be empty or silent. Main thread, once, after the music player's Init.
#pragma once

#include "game_music/music_player.h"

namespace app {

void ReportDataProblems(const org::MusicPlayer& player, bool have_sound_device);

// The screen's own data (a data path): its background picture.
inline constexpr const char* kBackgroundPicture = "system\\jukebg.png";

// Says, one line each, when the screen's font or background picture is missing (a --data folder
// without system/, say): the window then shows no text or stays black.
void ReportScreenDataProblems();

}  // namespace app
