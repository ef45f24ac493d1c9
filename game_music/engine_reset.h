// Puts every global of the music engine back to its start state: the timer stopped, the voices
// and drum slots released, the song's event stores freed and no sound device. For tests, and for
// tools that render one song after another. Main thread, with no tick running.
#pragma once

namespace org {

void ResetEngine();

}  // namespace org
