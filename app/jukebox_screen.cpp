#include "app/jukebox_screen.h"

#include <algorithm>

#include "runtime/core/random.h"
#include "runtime/graphics/software_blitter.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/text_encoding.h"

namespace app {
namespace {

constexpr int kKeySpace = 57;
constexpr int kKeyP = 25;
constexpr int kKeyS = 31;
constexpr int kKeyD = 32;
constexpr int kKeyE = 18;
constexpr int kKeyLeft = 203;
constexpr int kKeyRight = 205;

}  // namespace

JukeboxScreen::JukeboxScreen(JukeboxPlayer* player, const BitmapFont* font, const KeyTracker* keys)
    : player_(player), font_(font), keys_(keys), clock_(&platform::ClockMs) {}

void JukeboxScreen::ResetPlayOrder() {
  const int count = std::clamp(player_->entry_count(), 0, kPlayOrderSize);
  for (int i = 0; i < count; ++i) play_order_[i] = i;
}

int JukeboxScreen::PositionOf(int song) const {
  for (int i = 0; i < kPlayOrderSize; ++i)
    if (play_order_[i] == song) return i;
  return -1;
}

void JukeboxScreen::Play(int song) {
  player_->PlayIndex(song);
  timer_running_ = true;
  start_time_ = clock_();
}

void JukeboxScreen::Step() {
  const int f = player_->current_index();
  if (f != previous_song_) start_time_ = clock_();
  graphics::PutGraph(0, 0, background_, 0);
  previous_song_ = f;
  const uint32_t seconds = timer_running_ ? (clock_() - start_time_) / 1000 : 0;
  shown_seconds_ = seconds;
  Draw(seconds);
  ActOnKeys(seconds);
}

void JukeboxScreen::Draw(uint32_t seconds) {
  const int f = player_->current_index();
  font_->DrawFontText(20, 56, "JUKEBOX");
  font_->DrawFontText(80, 72, player_->title(f < 0 ? 0 : f));
  font_->DrawFontNumber(60, 72, f, 2, 99, 0, true);
  font_->DrawFontText(52, 72, "#");
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
  if (shuffle_) font_->DrawFontText(120, 56, "SHUFFLE");
  if (endless_) font_->DrawFontText(186, 56, "ENDLESS");
}

void JukeboxScreen::ActOnKeys(uint32_t seconds) {
  const int f = player_->current_index();
  const int count = std::min(player_->entry_count(), kPlayOrderSize);
  // With an empty playlist the song keys would reach positions that hold no song: they do
  // nothing. E still toggles the endless flag.
  if ((keys_->KeyPressed(kKeySpace) || keys_->KeyPressed(kKeyP)) && HasSongs()) {
    player_->PlayIndex(-1);
    Play(play_order_[f < 0 ? 0 : std::min(f, kPlayOrderSize - 1)]);
  }
  if (keys_->KeyRepeat(kKeyS) && HasSongs()) {
    for (int i = 0; i < 100; ++i) {
      const int a = runtime::RandomUpTo(count - 2);
      const int b = runtime::RandomUpTo(count - 2);
      std::swap(play_order_[a], play_order_[b]);
    }
    shuffle_ = true;
  }
  if (keys_->KeyRepeat(kKeyD) && HasSongs()) {
    ResetPlayOrder();
    shuffle_ = false;
  }
  if (keys_->KeyRepeat(kKeyE)) endless_ = !endless_;
  if (keys_->KeyRepeat(kKeyLeft) && HasSongs()) {
    int p = PositionOf(f) - 1;
    if (p < 0) p = count - 2;
    Play(play_order_[p]);
  }
  if (keys_->KeyRepeat(kKeyRight) && HasSongs()) {
    int p = PositionOf(f) + 1;
    if (p >= count - 1) p = 0;
    Play(play_order_[p]);
  }
  // Compared as unsigned, as the elapsed time is: a negative limit never runs out.
  if (f >= 0 && f < count && seconds > static_cast<uint32_t>(player_->time_limit(f)) && !endless_ &&
      HasSongs()) {
    const int p = f + 1 >= count - 1 ? 0 : f + 1;
    player_->RequestSwitch(play_order_[p]);
  }
}

}  // namespace app
