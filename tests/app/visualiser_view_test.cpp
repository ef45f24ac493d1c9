// The visualiser: its picture at a known moment of a test song (the roll's notes, the play line,
// the loop region, the scopes' traces and zero lines, the labels, the level bars, the marks of a
// muted track), and the screen's V and number keys (the view shown and left, taps kept only
// while it shows, mutes and solos applied live and let go on leaving).
#include "app/visualiser_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "app/jukebox_screen.h"
#include "app/overlay_view.h"
#include "app/song_clock.h"
#include "app/tiny_font.h"
#include "test_support/recording_jukebox_player.h"

namespace {

using app::VisualiserLayout;
using app::VisualiserView;

uint32_t Rgb(int r, int g, int b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }

class FakeSource : public app::VisualiserSource {
 public:
  FakeSource() {
    song_.wait = 100;
    song_.meter[0] = 4;
    song_.meter[1] = 4;
    song_.loop_start = 0;
    song_.loop_end = 64;
    song_.tracks[0].wave = 5;
    song_.tracks[0].events = {Note(2, 55, 3), Note(10, 50, 4), Note(20, 60, 2)};
    song_.tracks[8].wave = 2;  // Snare01
    song_.tracks[8].events = {Note(12, 40, 1)};
    for (int i = 0; i < app::kScopeFrames; ++i)  // track 0: a sine of 64 samples' period
      sine_.push_back(static_cast<int32_t>(16000 * std::sin(2 * std::numbers::pi * i / 64.0)));
  }
  static org::OrgEvent Note(int step, int key, int length) {
    org::OrgEvent e;
    e.position = step;
    e.key = static_cast<uint8_t>(key);
    e.length = static_cast<uint8_t>(length);
    e.volume = 200;
    e.pan = 6;
    return e;
  }
  const org::ParsedSong* song() const override { return playing ? &song_ : nullptr; }
  int32_t playing_step() const override { return step; }
  int32_t loop_count() const override { return 1; }
  void Watch(int frames) override { watched.push_back(frames); }
  int CopyScope(int track, int32_t* mono, int count) override {
    for (int i = 0; i < count; ++i) mono[i] = track == 0 && !silent ? sine_[i] : 0;
    return count;
  }
  // Between two of the sound device's blocks no frame was mixed since the last look: no peaks.
  void TakePeaks(int32_t peaks[org::kTrackCount]) override {
    for (int t = 0; t < org::kTrackCount; ++t)
      peaks[t] = t == 0 && !between_blocks && !silent ? 16000 : 0;
  }
  void SetTrackMuted(int track, bool muted) override { muted_[track] = muted; }
  void SetLoop(int32_t start, int32_t end) {
    song_.loop_start = start;
    song_.loop_end = end;
  }
  bool muted(int track) const { return muted_[track]; }

  bool playing = true;
  int32_t step = 12;
  bool between_blocks = false;
  bool silent = false;
  std::vector<int> watched;

 private:
  org::ParsedSong song_;
  std::vector<int32_t> sine_;
  bool muted_[org::kTrackCount] = {};
};

class VisualiserViewTest : public testing::Test {
 protected:
  VisualiserViewTest()
      : surface_(VisualiserLayout::kWidth, VisualiserLayout::kHeight, 4),
        player_(3),
        model_(&player_),
        view_(nullptr, &Rgb) {
    model_.ResetPlayOrder();
    model_.Play();
  }
  void Draw() { view_.Draw(&surface_, model_, &source_, mutes_); }
  uint32_t At(int x, int y) const { return surface_.Pixel(x, y); }
  // Pixels of `colour` in a rectangle.
  int Count(int x, int y, int width, int height, uint32_t colour) const {
    int n = 0;
    for (int yy = y; yy < y + height; ++yy)
      for (int xx = x; xx < x + width; ++xx) n += At(xx, yy) == colour;
    return n;
  }

  platform::PixelSurface surface_;
  test_support::RecordingJukeboxPlayer player_;
  app::JukeboxModel model_;
  FakeSource source_;
  app::TrackMutes mutes_;
  VisualiserView view_;
};

TEST_F(VisualiserViewTest, TheRollShowsPastSoundingAndComingNotesAroundThePlayLine) {
  Draw();
  const VisualiserView::KeyRows rows = VisualiserView::KeyRowsOf(*source_.song());
  const uint32_t red = view_.TrackColour(0, false);
  // The note to come (step 20, key 60) and the one sounding (step 10, four steps) in full colour;
  // the one past (step 2, three steps) dimmed.
  EXPECT_EQ(At(VisualiserView::XOfStep(20, 12), rows.Row(60)), red);
  EXPECT_EQ(At(VisualiserView::XOfStep(10, 12) + 1, rows.Row(50)), red);
  EXPECT_EQ(At(VisualiserView::XOfStep(2, 12), rows.Row(55)), view_.TrackColour(0, true));
  EXPECT_GT(rows.Row(50), rows.Row(60));  // higher keys higher up
  // A note's cell is as long as the note: two pixels a step, the last one left as a gap.
  EXPECT_EQ(At(VisualiserView::XOfStep(20, 12) + 2, rows.Row(60)), red);
  EXPECT_NE(At(VisualiserView::XOfStep(20, 12) + 3, rows.Row(60)), red);
  // The drum hit that sounds in its lane, under the play line; the loop region and past it.
  EXPECT_EQ(At(VisualiserView::XOfStep(12, 12) + 1, VisualiserLayout::kDrumTop),
            view_.TrackColour(8, false));
  EXPECT_EQ(At(VisualiserLayout::kPlayX, 40), Rgb(255, 255, 255));
  EXPECT_EQ(At(100, 20), Rgb(12, 20, 36));  // inside the loop (steps 0..64)
  EXPECT_EQ(At(250, 20), Rgb(0, 0, 0));     // after its end
}

TEST_F(VisualiserViewTest, ScopesTraceTheSoundingTrackAndLieFlatForSilentOnes) {
  Draw();
  const int top = VisualiserLayout::kScopesTop;
  const int middle = top + 8 + (VisualiserLayout::kScopeHeight - 14) / 2;
  const uint32_t cell = Rgb(16, 16, 16);
  // Track 2 (cell 1) is silent: a dim line on its zero line, nothing above or below.
  EXPECT_EQ(At(41, middle), view_.TrackColour(1, true));
  EXPECT_EQ(At(41, middle - 5), cell);
  EXPECT_EQ(Count(41, top + 8, 37, VisualiserLayout::kScopeHeight - 14, cell),
            37 * (VisualiserLayout::kScopeHeight - 14) - 37);
  // Track 1 (cell 0) sounds: its trace climbs well above and below the zero line, starting on
  // a rising zero crossing (so its first column is on the zero line).
  const uint32_t red = view_.TrackColour(0, false);
  EXPECT_EQ(At(1, middle), red);
  EXPECT_GT(Count(1, top + 8, 37, middle - top - 10, red), 10);
  EXPECT_GT(Count(1, middle + 3, 37, 15, red), 10);
  // Its level bar along the foot; none for the silent track.
  EXPECT_EQ(At(30, top + VisualiserLayout::kScopeHeight - 4), red);
  EXPECT_EQ(At(41, top + VisualiserLayout::kScopeHeight - 4), cell);
}

TEST_F(VisualiserViewTest, AFrameDrawnBetweenTwoSoundBlocksShowsTheScopesAsTheFrameBefore) {
  const int top = VisualiserLayout::kScopesTop;
  const auto scopes = [&] {
    std::vector<uint32_t> pixels;
    for (int y = top; y < VisualiserLayout::kHeight; ++y)
      for (int x = 0; x < VisualiserLayout::kWidth; ++x) pixels.push_back(At(x, y));
    return pixels;
  };
  Draw();
  const std::vector<uint32_t> playing = scopes();
  source_.between_blocks = true;  // the next frame comes before the next block is mixed
  Draw();
  EXPECT_EQ(scopes(), playing) << "the scopes flickered flat and dim";
  Draw();
  EXPECT_EQ(scopes(), playing);
  // A song that has gone silent: flat and dim, its level bar gone.
  source_.silent = true;
  Draw();
  const int middle = top + 8 + (VisualiserLayout::kScopeHeight - 14) / 2;
  EXPECT_EQ(At(1, middle), view_.TrackColour(0, true));
  EXPECT_EQ(At(30, top + VisualiserLayout::kScopeHeight - 4), Rgb(16, 16, 16));
}

TEST_F(VisualiserViewTest, TheHeaderNeverRunsIntoTheTimeWhateverTheLoopPoints) {
  player_.limit_seconds = INT_MAX;  // a loop of 2^31 steps: a time limit of decades
  const uint32_t text = Rgb(224, 224, 224);
  const int time_x = VisualiserLayout::kWidth - 2 - app::TinyTextWidth(app::SongClockText(model_));
  // The last column of the header's text left of the time, on the header's rows.
  const auto last_lit = [&] {
    int last = -1;
    for (int x = 0; x < time_x; ++x)
      if (Count(x, VisualiserLayout::kInfoTop, 1, 6, text) > 0) last = x;
    return last;
  };
  for (const auto& [start, end] :
       {std::pair{0, 64}, std::pair{INT32_MAX - 1, INT32_MAX}, std::pair{INT32_MIN, INT32_MAX}}) {
    source_.SetLoop(start, end);
    source_.step = end - 1;  // near the loop's end: the step's own figure is long too
    Draw();
    EXPECT_GT(last_lit(), 40) << end;          // the step, the bar and the pass are there
    EXPECT_LT(last_lit(), time_x - 4) << end;  // and a gap before the time
  }
}

TEST(OverlayHelpTest, TheHelpListsTheMuteAndSoloKeysAndFitsTheScreen) {
  const std::vector<std::string> lines = app::OverlayView::HelpLines();
  const auto has = [&](const std::string& start) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.rfind(start, 0) == 0; });
  };
  EXPECT_TRUE(has("1-8       MUTE"));
  EXPECT_TRUE(has("SHIFT 1-8 MUTE A DRUM"));
  EXPECT_TRUE(has("CTRL 1-8  SOLO"));
  EXPECT_TRUE(has("0         EVERY TRACK"));
  EXPECT_LE(16 + 10 * (static_cast<int>(lines.size()) + 3) + 4, 240);  // the panel's foot
}

TEST_F(VisualiserViewTest, LabelsNameTheWaveformOrTheDrum) {
  Draw();
  const int top = VisualiserLayout::kScopesTop;
  const uint32_t text = Rgb(224, 224, 224);
  // "1 W5" at the top of the first cell: the glyph of 1 has only its middle pixel on top.
  EXPECT_EQ(At(2, top + 2), Rgb(16, 16, 16));
  EXPECT_EQ(At(3, top + 2), text);
  EXPECT_EQ(At(2, top + 6), text);  // its foot is a full row
  // "SNARE01" on the first drum cell: S begins with its top right two pixels.
  const int drums = top + VisualiserLayout::kScopeHeight;
  EXPECT_EQ(At(3, drums + 2), text);
  EXPECT_EQ(At(4, drums + 2), text);
  EXPECT_EQ(At(2, drums + 2), Rgb(16, 16, 16));
  // An empty track is its number and a dash: "5 -" is 11 pixels of 5 and 3 of the dash.
  EXPECT_EQ(Count(40 * 4, top + 2, 40, 5, text), 14);
}

TEST_F(VisualiserViewTest, AMutedTrackIsDimmedAndMarked) {
  mutes_.ToggleMute(0);
  Draw();
  const int top = VisualiserLayout::kScopesTop;
  const VisualiserView::KeyRows rows = VisualiserView::KeyRowsOf(*source_.song());
  EXPECT_EQ(At(VisualiserView::XOfStep(20, 12), rows.Row(60)), view_.TrackColour(0, true));
  EXPECT_EQ(At(3, top + 2), Rgb(96, 96, 96));  // the label dimmed
  // M at the cell's top right corner (its top row: both outer pixels).
  EXPECT_EQ(At(VisualiserLayout::kScopeWidth - 6, top + 2), Rgb(255, 255, 255));
  EXPECT_EQ(At(VisualiserLayout::kScopeWidth - 4, top + 2), Rgb(255, 255, 255));
}

TEST_F(VisualiserViewTest, WithNoSongItSaysHowToStartOne) {
  source_.playing = false;
  Draw();
  EXPECT_GT(Count(0, 95, 320, 15, Rgb(96, 96, 96)), 50);
  EXPECT_EQ(Count(0, VisualiserLayout::kScopesTop, 320, 100, Rgb(16, 16, 16)), 0);
}

// --- the screen's keys

class VisualiserKeysTest : public testing::Test {
 protected:
  VisualiserKeysTest()
      : surface_(VisualiserLayout::kWidth, VisualiserLayout::kHeight, 4),
        player_(3),
        screen_(&player_, &font_, &keys_) {
    font_.SetCellDrawerForTesting([](int, int, int) {});
    screen_.ResetPlayOrder();
    screen_.SetVisualiser(&source_, &Rgb, [this] { return &surface_; });
  }
  // One frame with the keys `down` held (newly).
  void Frame(std::initializer_list<int> down = {}) {
    uint8_t states[256] = {};
    for (int key : down) states[key] = 1;
    keys_.UpdateFrom(states, 0);
    screen_.Step();
    uint8_t none[256] = {};
    keys_.UpdateFrom(none, 0);
  }

  static constexpr int kV = 47;
  static constexpr int k1 = 2;
  static constexpr int k3 = 4;
  static constexpr int k0 = 11;
  static constexpr int kShift = 42;
  static constexpr int kCtrl = 29;

  platform::PixelSurface surface_;
  test_support::RecordingJukeboxPlayer player_;
  app::BitmapFont font_;
  app::KeyTracker keys_;
  FakeSource source_;
  app::JukeboxScreen screen_;
};

TEST_F(VisualiserKeysTest, VShowsTheVisualiserAndBackKeepingTapsOnlyWhileItShows) {
  Frame({3});  // 3 on the game's screen does nothing
  EXPECT_FALSE(source_.muted(2));
  Frame({kV});
  EXPECT_TRUE(screen_.visualiser_shown());
  EXPECT_EQ(source_.watched, (std::vector<int>{app::kScopeFrames}));
  Frame();
  EXPECT_NE(surface_.Pixel(VisualiserLayout::kPlayX, 40), 0u);  // drawn on the surface
  Frame({kV});
  EXPECT_FALSE(screen_.visualiser_shown());
  EXPECT_EQ(source_.watched, (std::vector<int>{app::kScopeFrames, 0}));
}

TEST_F(VisualiserKeysTest, NumbersMuteShiftTakesDrumsCtrlSolosZeroAndLeavingLetAllBeHeard) {
  Frame({kV});
  Frame({k3});
  EXPECT_TRUE(source_.muted(2));
  Frame({kShift, k3});
  EXPECT_TRUE(source_.muted(10));
  Frame({k3});
  EXPECT_FALSE(source_.muted(2));
  Frame({kCtrl, k1});  // a solo: only track 1 heard
  for (int t = 0; t < org::kTrackCount; ++t) EXPECT_EQ(source_.muted(t), t != 0) << t;
  EXPECT_TRUE(screen_.track_mutes().soloed(0));
  Frame({k0});
  for (int t = 0; t < org::kTrackCount; ++t) EXPECT_FALSE(source_.muted(t)) << t;
  Frame({k3});
  Frame({kV});  // leaving: every track heard again
  EXPECT_FALSE(source_.muted(2));
  EXPECT_FALSE(screen_.track_mutes().muted(2));
}

// --- what the desktop player shows over the game's screen

TEST_F(VisualiserKeysTest, TheVolumeShowsForAMomentAfterItChangesAndTheScreenIsLeftAsItWas) {
  constexpr int kDown = 208;
  const uint32_t panel = Rgb(0, 0, 32);
  Frame();
  EXPECT_NE(surface_.Pixel(100, 5), panel);  // nothing over the game's screen
  Frame({kDown});
  Frame();
  EXPECT_EQ(surface_.Pixel(100, 5), panel);  // the strip
  EXPECT_EQ(app::OverlayView::VolumeText(1), "VOLUME  -3 DB");
  EXPECT_EQ(app::OverlayView::VolumeText(0), "VOLUME  0 DB");
  EXPECT_EQ(app::OverlayView::VolumeText(app::kVolumeSilent), "VOLUME  SILENT");
  for (int frame = 0; frame < app::kVolumeStripFrames; ++frame) Frame();
  surface_.Fill(nullptr, 0);
  Frame();
  EXPECT_EQ(surface_.Pixel(100, 5), 0u);  // gone again
}

TEST_F(VisualiserKeysTest, HOrF1ShowsTheHelpWithThePositionAndTheLength) {
  constexpr int kH = 35;
  constexpr int kF1 = 59;
  Frame({kH});
  EXPECT_TRUE(screen_.help_shown());
  Frame();
  EXPECT_EQ(surface_.Pixel(160, 100), Rgb(0, 0, 32));  // the help's panel
  Frame({kF1});
  EXPECT_FALSE(screen_.help_shown());
  EXPECT_EQ(app::OverlayView::TimeText(screen_.model()), "NO SONG PLAYS");
  screen_.model().PlayEntry(0);
  // The recording player's songs have a 3 s limit: 4 s to its advance, then the 4.4 s fade.
  EXPECT_EQ(app::OverlayView::TimeText(screen_.model()), "0:00 / 0:08");
  screen_.model().SetEndless(true);
  EXPECT_EQ(app::OverlayView::TimeText(screen_.model()), "0:00 / ENDLESS");
}

}  // namespace
