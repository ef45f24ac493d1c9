// The three fades of this project, which is which, and why they differ:
//
// 1. The game's master-volume fade (game_music/music_player: RequestSwitch, then UpdateFrame
//    once per jukebox frame). When the jukebox switches songs it lowers the sequencer's master
//    volume one step per 35 ms frame, from 127 to 0, along the game's volume law (ending about
//    20 dB down, then the next song cuts in). It is the game's own behaviour, tied to its frame
//    loop, and is heard on the desktop only.
// 2. The renderer's end fade (org::SongRenderer::SetEndFadeFrames; orgsynth_set_fade;
//    `org2wav --fade`): the gain falls in a straight line from 1 to 0 over a number of frames
//    after a render's end, applied to the mix before it is saturated, and reaches silence on an
//    exact frame, as a file or a player that ends a song needs.
// 3. The web page's fade at a song's time limit: the renderer's end fade (2), ended at the
//    limit (orgsynth_set_end_frame), lasting as long as the jukebox's fade (kJukeboxFadeMs, read
//    by the page through orgsynth_jukebox_fade_ms). A straight line instead of the game's law,
//    because the page plays through the library, which renders to the frame and never touches
//    the sequencer's master volume.
#pragma once

namespace org {

// The length of the jukebox's fade into the next song (1): 127 frames of its 35 ms.
inline constexpr int kJukeboxFadeMs = 127 * 35;

}  // namespace org
