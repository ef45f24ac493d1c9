#include "app/jukebox_view.h"

#include <algorithm>

#include "runtime/graphics/software_blitter.h"
#include "runtime/platform/text_encoding.h"

namespace app {

void JukeboxView::Draw(const JukeboxModel& model) const {
  graphics::PutGraph(0, 0, background_, 0);
  const int f = model.current_index();
  const uint32_t seconds = model.shown_seconds();
  font_->DrawFontText(20, 56, "JUKEBOX");
  font_->DrawFontText(80, 72, model.title(f < 0 ? 0 : f));
  if (f < 100) {
    font_->DrawFontNumber(60, 72, f, 2, 99, 0, true);
    font_->DrawFontText(52, 72, "#");
  } else {
    // Past the game's 99 (a desktop playlist): the number takes a digit more room to its left,
    // so the title keeps its place.
    const int digits = f < 1000 ? 3 : f < 10000 ? 4 : 5;
    font_->DrawFontNumber(76 - 8 * digits, 72, f, digits, 99999, 0, true);
    font_->DrawFontText(68 - 8 * digits, 72, "#");
  }
  font_->DrawFontText(90, 110, SJIS("[P]…PLAY"));
  font_->DrawFontText(90, 119, SJIS("[S]…SHUFFLE ON"));
  font_->DrawFontText(90, 128, SJIS("[D]…SHUFFLE OFF"));
  font_->DrawFontText(90, 137, SJIS("[E]…ENDLESS REPEAT"));
  font_->DrawFontText(90, 153, SJIS("[RIGHT]…NEXT MUSIC"));
  font_->DrawFontText(90, 162, SJIS("[LEFT ]…PREV MUSIC"));
  font_->DrawFontNumber(20, 230, static_cast<int>(std::min<uint32_t>(seconds / 60, 100000)), 2, 99,
                        0, false);
  font_->DrawFontText(36, 230, ":");
  font_->DrawFontNumber(44, 230, static_cast<int>(seconds % 60), 2, 99, 0, true);
  if (model.shuffle()) font_->DrawFontText(120, 56, "SHUFFLE");
  if (model.endless()) font_->DrawFontText(186, 56, "ENDLESS");
  if (model.paused()) font_->DrawFontText(252, 56, "PAUSE");
}

}  // namespace app
