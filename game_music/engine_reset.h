// Puts the game's face back to its start state: its timer stopped, its engine's voices and drum
// slots released, the song's events freed and no sound device. For tests. Main thread, with no
// tick running.
#pragma once

namespace org {

void ResetEngine();

}  // namespace org
