// Renders through the whole engine and the offline sound device, measured: pitch, level, pan,
// and a byte-exact golden render of a demo song.
#include "tools/render/offline_render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/platform/data_path.h"
#include "test_support/golden_renders.h"
#include "test_support/scratch_directory.h"

namespace {

using test_support::ScratchDirectory;

struct Rendered {
  std::vector<int16_t> left;
  std::vector<int16_t> right;
};

// One melody track with one long note from step 0 on the shipped bank's sine (waveform 0).
org::ParsedSong OneNote(uint8_t key, uint8_t volume, uint8_t pan) {
  org::ParsedSong song;
  song.version = 2;
  song.wait = 100;
  song.loop_end = 200;
  song.tracks[0].wave = 0;
  song.tracks[0].events = {{0, key, 200, volume, pan},
                           {100, org::kNoValue, 0, volume, org::kNoValue}};
  return song;
}

Rendered Render(const org::ParsedSong& song, double seconds) {
  ScratchDirectory dir;
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  dir.WriteFile("song.org", std::string(bytes.begin(), bytes.end()));
  render::RenderOptions options;
  options.bank_path = PROJECT_SOURCE_DIR "/data/Org/Wave100.dat";
  options.drums_folder = PROJECT_SOURCE_DIR "/data/Org/Org";
  options.seconds = seconds;
  Rendered out;
  const render::RenderResult result =
      render::RenderSong(dir.Join("song.org"), options, [&](const int16_t* stereo, int frames) {
        for (int i = 0; i < frames; ++i) {
          out.left.push_back(stereo[2 * i]);
          out.right.push_back(stereo[2 * i + 1]);
        }
      });
  EXPECT_TRUE(result.ok) << result.error;
  return out;
}

// RMS over the second half-second onwards (the note sounds from the first tick at 100 ms).
double Rms(const std::vector<int16_t>& samples) {
  double sum = 0;
  for (size_t i = 22050; i < samples.size(); ++i)
    sum += static_cast<double>(samples[i]) * samples[i];
  return std::sqrt(sum / static_cast<double>(samples.size() - 22050));
}

double Decibels(double a, double b) { return 20 * std::log10(a / b); }

TEST(OfflineRenderTest, AInOctaveThreeSoundsAt440Hz) {
  const Rendered r = Render(OneNote(45, 200, 6), 2.5);
  // Frequency from rising zero crossings over the two seconds after the first half-second,
  // interpolated to the fraction of a sample.
  double first = -1;
  double last = -1;
  int crossings = 0;
  for (size_t i = 22051; i < r.left.size(); ++i) {
    if (r.left[i - 1] < 0 && r.left[i] >= 0) {
      const double at = (i - 1) + r.left[i - 1] / double(r.left[i - 1] - r.left[i]);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
  }
  const double hz = (crossings - 1) / ((last - first) / 44100.0);
  EXPECT_NEAR(hz, 440.0, 0.5);
}

TEST(OfflineRenderTest, Volume254AndVolume0Are20Point32DecibelsApart) {
  const double loud = Rms(Render(OneNote(45, 254, 6), 1.5).left);
  const double quiet = Rms(Render(OneNote(45, 0, 6), 1.5).left);
  EXPECT_NEAR(Decibels(loud, quiet), 20.32, 0.05);
}

TEST(OfflineRenderTest, PanZeroPutsTheRightChannel25Point6DecibelsBelowTheLeft) {
  const Rendered r = Render(OneNote(45, 200, 0), 1.5);
  EXPECT_NEAR(Decibels(Rms(r.left), Rms(r.right)), 25.6, 0.05);
  const Rendered centre = Render(OneNote(45, 200, 6), 1.5);
  EXPECT_NEAR(Decibels(Rms(centre.left), Rms(centre.right)), 0.0, 0.01);
  EXPECT_NEAR(Decibels(Rms(centre.left), Rms(r.left)), 0.0, 0.01);  // the near side keeps its level
}

TEST(OfflineRenderTest, TicksFallOnExactSamplePositions) {
  // A note starting at step 3 of a 90 ms song begins at the 4th tick: 4 × 90 ms = 15876 frames.
  org::ParsedSong song = OneNote(45, 254, 6);
  song.wait = 90;
  song.tracks[0].events = {{3, 45, 10, 254, 6}};
  const Rendered r = Render(song, 0.5);
  size_t first_sound = 0;
  while (first_sound < r.left.size() && r.left[first_sound] == 0) ++first_sound;
  EXPECT_GE(first_sound, 15876u);
  EXPECT_LE(first_sound, 15878u);  // the sine starts at 0; its first non-zero sample follows
}

render::RenderOptions OptionsFor(const std::string& settings) {
  render::RenderOptions o;
  o.bank_path = PROJECT_SOURCE_DIR "/data/Org/Wave100.dat";
  if (settings == "rate48000") o.rate = 48000;
  if (settings == "fade") {
    o.loops = 1;
    o.fade_seconds = 3;
  }
  if (settings == "mute") o.muted_tracks = (1u << 0) | (1u << 9);
  if (settings == "nearest") {
    o.nearest = true;
    o.rate = 22050;
  }
  if (settings == "seconds") {
    o.seconds = 20;
    o.fade_seconds = 1.5;
  }
  if (settings == "loops3") {
    o.loops = 3;
    o.rate = 32000;
  }
  return o;
}

class GoldenRenderTest : public testing::TestWithParam<std::string> {};

TEST_P(GoldenRenderTest, EveryRenderOfTheSongKeepsItsBytes) {
  int checked = 0;
  for (const test_support::GoldenRender& golden : test_support::GoldenRenders()) {
    if (golden.song != GetParam()) continue;
    std::vector<int16_t> stereo;
    const render::RenderResult result = render::RenderSong(
        PROJECT_SOURCE_DIR "/data/Org/" + golden.song + ".org", OptionsFor(golden.settings),
        [&](const int16_t* s, int frames) { stereo.insert(stereo.end(), s, s + 2 * frames); });
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.missing_drums.empty());
    EXPECT_EQ(static_cast<int64_t>(stereo.size() / 2), golden.frames) << golden.settings;
    EXPECT_EQ(test_support::GoldenHash(stereo.data(), stereo.size()), golden.hash)
        << golden.song << " " << golden.settings;
    ++checked;
  }
  EXPECT_EQ(checked, 7);
}

INSTANTIATE_TEST_SUITE_P(DemoSongs, GoldenRenderTest,
                         testing::ValuesIn(test_support::DemoSongNames()));

}  // namespace
