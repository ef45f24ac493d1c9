// liborgsynth through its C API, as a program embedding it uses it: the renders of every demo
// song against the golden values, exact seeking at several rates and places, live mute, the
// fade, the length, f32 against s16, the song's facts, levels and scopes, the options, and bad
// input (never a crash, always NULL with a message).
#include "include/orgsynth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "org/org_format.h"
#include "test_support/golden_renders.h"
#include "test_support/test_song.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> DemoSong(const std::string& name) {
  return ReadFile(PROJECT_SOURCE_DIR "/data/Org/" + name + ".org");
}

struct SongCloser {
  void operator()(orgsynth_song* song) const { orgsynth_close(song); }
};
using Song = std::unique_ptr<orgsynth_song, SongCloser>;

Song Open(const std::vector<uint8_t>& bytes, uint32_t rate = 44100, int interpolation = 0) {
  orgsynth_options options{};
  options.size = sizeof options;
  options.sample_rate = rate;
  options.interpolation = interpolation;
  orgsynth_error error{};
  Song song(orgsynth_open_memory(bytes.data(), bytes.size(), &options, &error));
  EXPECT_TRUE(song) << error.message;
  return song;
}

// Renders to the end in uneven blocks (the block size must not matter).
std::vector<int16_t> RenderToEnd(orgsynth_song* song) {
  std::vector<int16_t> out;
  std::vector<int16_t> block(2 * 5000);
  size_t size = 1;
  for (size_t frames; (frames = orgsynth_render_s16(song, block.data(), size)) > 0;) {
    out.insert(out.end(), block.begin(), block.begin() + static_cast<long>(2 * frames));
    size = size * 3 % 4999 + 1;
  }
  return out;
}

std::vector<int16_t> RenderFrames(orgsynth_song* song, size_t frames) {
  std::vector<int16_t> out(2 * frames);
  out.resize(2 * orgsynth_render_s16(song, out.data(), frames));
  return out;
}

orgsynth_info InfoOf(const orgsynth_song* song) {
  orgsynth_info info{};
  info.size = sizeof info;
  EXPECT_EQ(orgsynth_get_info(song, &info), ORGSYNTH_OK);
  return info;
}

// Every demo song through the library with its own bank and drums is what org2wav rendered
// with the data folder's: the default render, the fade, the mutes, and nearest interpolation.
class OrgsynthDemoSongTest : public testing::TestWithParam<std::string> {};

TEST_P(OrgsynthDemoSongTest, RendersTheGoldenBytesWithTheBuiltInBankAndDrums) {
  for (const test_support::GoldenRender& golden : test_support::GoldenRenders()) {
    if (golden.song != GetParam()) continue;
    const std::string& s = golden.settings;
    if (s != "default" && s != "fade" && s != "mute" && s != "nearest" && s != "rate48000")
      continue;
    Song song = Open(DemoSong(golden.song),
                     s == "rate48000" ? 48000
                     : s == "nearest" ? 22050
                                      : 44100,
                     s == "nearest" ? ORGSYNTH_INTERPOLATION_NEAREST : 0);
    orgsynth_set_repeat_count(song.get(), s == "fade" ? 0 : 1);
    if (s == "fade") orgsynth_set_fade(song.get(), 3000);
    if (s == "mute") {
      orgsynth_set_track_mute(song.get(), 0, 1);
      orgsynth_set_track_mute(song.get(), 9, 1);
    }
    EXPECT_EQ(orgsynth_length(song.get()), golden.frames) << s;
    const std::vector<int16_t> pcm = RenderToEnd(song.get());
    EXPECT_EQ(static_cast<int64_t>(pcm.size() / 2), golden.frames) << s;
    EXPECT_EQ(test_support::GoldenHash(pcm.data(), pcm.size()), golden.hash) << s;
    EXPECT_EQ(orgsynth_position(song.get()), static_cast<uint64_t>(golden.frames));
  }
}

// Seek-then-render equals render-from-start-and-drop, sample for sample: inside the intro, on the
// loop's boundaries, in a later pass, in the fade, with a track muted; forwards and backwards.
TEST_P(OrgsynthDemoSongTest, SeekingLandsOnExactlyTheSamplesOfARenderFromTheStart) {
  for (uint32_t rate : {44100u, 48000u}) {
    for (bool muted : {false, true}) {
      auto prepare = [&](orgsynth_song* song) {
        orgsynth_set_repeat_count(song, 1);
        orgsynth_set_fade(song, 2500);
        if (muted) orgsynth_set_track_mute(song, 1, 1);
      };
      Song whole = Open(DemoSong(GetParam()), rate);
      prepare(whole.get());
      const std::vector<int16_t> reference = RenderToEnd(whole.get());
      const orgsynth_info info = InfoOf(whole.get());
      const uint64_t length = static_cast<uint64_t>(orgsynth_length(whole.get()));
      ASSERT_EQ(reference.size() / 2, length);
      const uint64_t fade = (2500ull * rate + 500) / 1000;
      const std::vector<uint64_t> places = {
          info.intro_frames / 2 + 3,                        // the intro
          info.loop_start_frame,                            // the loop's first step
          info.loop_end_frame,                              // the loop point
          info.loop_end_frame + info.loop_frames / 2 + 11,  // the second pass
          length - fade / 2,                                // the fade
          length - 1,
      };
      Song seeking = Open(DemoSong(GetParam()), rate);
      prepare(seeking.get());
      // Forwards through the places, then back to each one again (a rewind and a replay).
      for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < places.size(); ++i) {
          const uint64_t place = round == 0 ? places[i] : places[places.size() - 1 - i];
          ASSERT_EQ(orgsynth_seek(seeking.get(), place), ORGSYNTH_OK);
          EXPECT_EQ(orgsynth_position(seeking.get()), place);
          const size_t window = static_cast<size_t>(std::min<uint64_t>(length - place, rate));
          const std::vector<int16_t> got = RenderFrames(seeking.get(), window);
          ASSERT_EQ(got.size(), 2 * window);
          EXPECT_TRUE(std::equal(got.begin(), got.end(), reference.begin() + 2 * place))
              << GetParam() << " at " << rate << " Hz, frame " << place << (muted ? ", muted" : "");
        }
      }
      // A seek past the end lands on the end.
      EXPECT_EQ(orgsynth_seek(seeking.get(), length + 1000), ORGSYNTH_OK);
      EXPECT_EQ(orgsynth_position(seeking.get()), length);
      int16_t none[2];
      EXPECT_EQ(orgsynth_render_s16(seeking.get(), none, 1), 0u);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(DemoSongs, OrgsynthDemoSongTest,
                         testing::ValuesIn(test_support::DemoSongNames()));

// A song of a few notes at the start and one at the end of a 33-minute loop: seeks pass over the
// long silence at once, and still land exactly (compared with a render that seeks a little earlier
// and plays up to the same frame), also across the late note and its drum.
TEST(OrgsynthTest, SeekingOverALongSilenceLandsExactly) {
  org::ParsedSong gap;
  gap.version = 2;
  gap.wait = 1;
  gap.loop_start = 0;
  gap.loop_end = 2000000;
  gap.tracks[0].events = {{0, 40, 5, 200, 3}, {1999990, 52, 4, 180, 9}};
  gap.tracks[3].one_shot = 1;
  gap.tracks[3].events = {{7, 60, 1, 254, 6}};
  gap.tracks[8].events = {{2, 40, 0, 200, 6}, {1999992, 30, 0, 254, 2}};
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(gap);
  for (uint64_t target : {44100ull * 1000, 44100ull * 1999 + 44100ull * 99 / 100,
                          44100ull * 2000 + 17, 44100ull * 2500}) {
    Song early = Open(bytes);
    ASSERT_EQ(orgsynth_seek(early.get(), target - 44100), ORGSYNTH_OK);
    const std::vector<int16_t> lead = RenderFrames(early.get(), 2 * 44100);
    Song direct = Open(bytes);
    ASSERT_EQ(orgsynth_seek(direct.get(), target), ORGSYNTH_OK);
    const std::vector<int16_t> got = RenderFrames(direct.get(), 44100);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), lead.begin() + 2 * 44100)) << target;
    if (target > 44100ull * 1999 && target < 44100ull * 2000) {
      EXPECT_NE(*std::max_element(lead.begin(), lead.end()), 0) << "the late note sounds";
    }
  }
}

// A short loop of 1 ms steps whose sound runs on across its passes: held and repeated notes whose
// buffers hand over mid-period, a one-shot track, a drum longer than a pass, changing volumes and
// pans. Its state at the loop start repeats only after several passes (voices' phases included).
org::ParsedSong RestlessSong(int32_t loop_start, int32_t loop_end) {
  org::ParsedSong song;
  song.version = 2;
  song.wait = 1;
  song.loop_start = loop_start;
  song.loop_end = loop_end;
  song.tracks[0].events = {
      {0, 40, 3, 200, 3}, {2, 40, 2, 180, 255}, {3, 45, 1, 255, 9}, {5, 47, 4, 220, 6}};
  song.tracks[1].wave = 7;
  song.tracks[1].events = {{1, 60, 2, 150, 2}, {4, 72, 1, 254, 10}};
  song.tracks[2].one_shot = 1;
  song.tracks[2].events = {{0, 30, 1, 200, 6}};
  song.tracks[8].wave = 2;
  song.tracks[8].events = {{0, 40, 0, 254, 6}, {6, 52, 0, 120, 1}};
  return song;
}

// A drum track whose last event in the loop sets a volume that only the loop start's step,
// which has no event, applies.
org::ParsedSong DrumVolumeAtTheLoopStartSong() {
  org::ParsedSong song;
  song.version = 2;
  song.wait = 3;
  song.loop_start = 2;
  song.loop_end = 6;
  song.tracks[10].wave = 3;
  song.tracks[10].events = {
      {0, 255, 2, 217, 6}, {1, 40, 246, 255, 2}, {3, 255, 2, 77, 9}, {5, 42, 152, 118, 255}};
  return song;
}

TEST(OrgsynthTest, AFarSeekLandsOnTheSamplesOfARenderThatPlayedThere) {
  struct Case {
    org::ParsedSong song;
    uint32_t rate;
  } cases[] = {{RestlessSong(0, 7), 44100},           {RestlessSong(2, 7), 8001},
               {RestlessSong(3, 3), 22050},           {RestlessSong(0, 1), 48000},
               {test_support::DriftingSong(), 44100}, {test_support::DriftingSong(), 8001},
               {DrumVolumeAtTheLoopStartSong(), 8001}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.song.loop_start << ".." << c.song.loop_end << " at " << c.rate);
    const std::vector<uint8_t> bytes = org::SerializeOrgSong(c.song);
    Song played = Open(bytes, c.rate);
    const std::vector<int16_t> all = RenderFrames(played.get(), 40 * size_t{c.rate});
    orgsynth_playing at_end{};
    at_end.size = sizeof at_end;
    ASSERT_EQ(orgsynth_get_playing(played.get(), &at_end), ORGSYNTH_OK);
    for (const uint64_t target :
         {uint64_t{c.rate} * 39, uint64_t{c.rate} * 20 + 17, uint64_t{12345}}) {
      SCOPED_TRACE(target);
      Song sought = Open(bytes, c.rate);
      ASSERT_EQ(orgsynth_seek(sought.get(), target), ORGSYNTH_OK);
      const size_t window = std::min<size_t>(size_t{c.rate}, all.size() / 2 - target);
      const std::vector<int16_t> got = RenderFrames(sought.get(), window);
      ASSERT_TRUE(std::equal(got.begin(), got.end(), all.begin() + static_cast<long>(2 * target)));
      if (target + window == all.size() / 2) {
        orgsynth_playing playing{};
        playing.size = sizeof playing;
        ASSERT_EQ(orgsynth_get_playing(sought.get(), &playing), ORGSYNTH_OK);
        EXPECT_EQ(playing.step, at_end.step);
        EXPECT_EQ(playing.loop_count, at_end.loop_count);
      }
    }
    EXPECT_GT(at_end.loop_count, 1000) << "many passes";
    // One song kept open: it keeps what its seeks replayed (moments of the song and its voices,
    // and where its sound repeats) for the seeks after, which land exactly too, in any order,
    // back and forth, before and after the repeat is known, and after a render moved it on.
    Song kept = Open(bytes, c.rate);
    const uint64_t second = c.rate;
    for (const uint64_t target : {second / 10, second * 39 + 5, uint64_t{12345}, second * 20 + 17,
                                  second * 39, second * 5 + 3, second * 30, uint64_t{0}}) {
      SCOPED_TRACE(testing::Message() << "kept open, " << target);
      ASSERT_EQ(orgsynth_seek(kept.get(), target), ORGSYNTH_OK);
      const size_t window = std::min<size_t>(second / 2, all.size() / 2 - target);
      const std::vector<int16_t> got = RenderFrames(kept.get(), window);
      ASSERT_TRUE(std::equal(got.begin(), got.end(), all.begin() + static_cast<long>(2 * target)));
    }
  }
}

// 2^40 frames (eight months) into a song whose voices never come round: the seek lands by
// whole stretches of passes worked out voice by voice (a replay of the passes would take days),
// and lands where a seek a little earlier that then plays on stands.
TEST(OrgsynthTest, AFarSeekIntoASongWhoseVoicesNeverComeRoundLandsAtOnce) {
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(test_support::DriftingSong());
  const uint64_t far = uint64_t{1} << 40;
  for (const uint64_t before : {uint64_t{4410}, uint64_t{123457}}) {
    SCOPED_TRACE(before);
    Song early = Open(bytes);
    ASSERT_EQ(orgsynth_seek(early.get(), far - before), ORGSYNTH_OK);
    const std::vector<int16_t> lead = RenderFrames(early.get(), before + 4410);
    Song direct = Open(bytes);
    ASSERT_EQ(orgsynth_seek(direct.get(), far), ORGSYNTH_OK);
    EXPECT_EQ(orgsynth_position(direct.get()), far);
    const std::vector<int16_t> got = RenderFrames(direct.get(), 4410);
    EXPECT_NE(*std::max_element(got.begin(), got.end()), 0);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), lead.begin() + static_cast<long>(2 * before)));
  }
}

// The same for the densest song with drifting held notes (test_support::DenseDriftingSong): the
// seek logs one pass of calls with their ticks and works out passes that start elsewhere within
// a frame (five places at 44100 and 22050 Hz, 125 at 8001 Hz, where the voices' states come
// round only after thousands of passes; with a loop one step longer, ten at 44100 Hz and twenty
// at 22050 Hz; where a log of whole recurrences did not fit, every pass was replayed), and for
// the densest song with one track held on one key at 8001 Hz (replayed pass by pass while its
// log overflowed with tunings of stopped buffers). A
// seek some minutes in lands on the samples of a render from the start, and a seek 2^40 frames in
// where one a little before it, played on, stands.
TEST(OrgsynthTest, AFarSeekIntoADenseSongWhoseHeldNotesDriftLandsAtOnce) {
  org::ParsedSong longer_loop = test_support::DenseDriftingSong();
  longer_loop.loop_end += 1;
  struct Case {
    std::vector<uint8_t> bytes;
    uint32_t rate;
    uint64_t near_seconds;
  } cases[] = {{org::SerializeOrgSong(test_support::DenseDriftingSong()), 44100, 118},
               {org::SerializeOrgSong(test_support::DenseDriftingSong()), 22050, 118},
               {org::SerializeOrgSong(test_support::DenseDriftingSong()), 48000, 118},
               {org::SerializeOrgSong(test_support::DenseDriftingSong()), 8001, 118},
               {org::SerializeOrgSong(longer_loop), 44100, 200},
               {org::SerializeOrgSong(longer_loop), 22050, 200},
               {org::SerializeOrgSong(test_support::DensestSongWithOneTrackOnOneKey()), 8001, 118}};
  for (const Case& c : cases) {
    const std::vector<uint8_t>& bytes = c.bytes;
    const uint32_t rate = c.rate;
    SCOPED_TRACE(testing::Message() << rate << " Hz, " << c.near_seconds << " s");
    const uint64_t near = uint64_t{rate} * c.near_seconds + 77;
    Song played = Open(bytes, rate);
    const std::vector<int16_t> all = RenderFrames(played.get(), near + rate);
    Song sought = Open(bytes, rate);
    ASSERT_EQ(orgsynth_seek(sought.get(), near), ORGSYNTH_OK);
    const std::vector<int16_t> got = RenderFrames(sought.get(), rate);
    ASSERT_TRUE(std::equal(got.begin(), got.end(), all.begin() + static_cast<long>(2 * near)));

    const uint64_t far = uint64_t{1} << 40;
    const uint64_t before = 12345;
    Song early = Open(bytes, rate);
    ASSERT_EQ(orgsynth_seek(early.get(), far - before), ORGSYNTH_OK);
    const std::vector<int16_t> lead = RenderFrames(early.get(), before + 4410);
    Song direct = Open(bytes, rate);
    ASSERT_EQ(orgsynth_seek(direct.get(), far), ORGSYNTH_OK);
    const std::vector<int16_t> landed = RenderFrames(direct.get(), 4410);
    EXPECT_NE(*std::max_element(landed.begin(), landed.end()), 0);
    EXPECT_TRUE(
        std::equal(landed.begin(), landed.end(), lead.begin() + static_cast<long>(2 * before)));
  }
}

// Small random songs (short loops of held, repeated and one-shot notes, drums, volumes and pans
// on and off, steps of 1 to 20 ms, at six rates): seeks of a fresh song and of one kept open and
// played on between seeks land on the samples of a render from the start. Seed 628: a song kept
// open at 8001 Hz, whose seek after a render once took two loop starts a pass apart, where the
// ticks fall at different places within a frame, for a repeat.
TEST(OrgsynthTest, SeeksIntoRandomSongsLandOnTheSamplesOfARender) {
  const uint32_t rates[] = {44100, 48000, 8001, 22050, 11025, 96000};
  std::vector<uint32_t> seeds(120);
  std::iota(seeds.begin(), seeds.end(), 0);
  seeds.push_back(628);
  for (const uint32_t seed : seeds) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    const auto below = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    org::ParsedSong song;
    song.version = 2;
    song.wait = static_cast<uint16_t>(below(3) ? 1 + below(3) : 1 + below(20));
    const int loop = below(2) ? 1 + below(6) : 1 + below(40);
    song.loop_start = below(3);
    song.loop_end = below(8) == 0 ? song.loop_start : song.loop_start + loop;
    for (int tracks = 1 + below(8); tracks > 0; --tracks) {
      const int t = below(10) < 7 ? below(8) : 8 + below(8);
      org::ParsedSong::Track& track = song.tracks[t];
      track.events.clear();
      track.wave = static_cast<uint8_t>(below(t < 8 ? 100 : 28));
      track.one_shot = below(5) == 0;
      track.finetune = static_cast<uint16_t>(900 + below(200));
      for (int step = 0; step <= song.loop_end && track.events.size() < 40; step += 1 + below(2))
        track.events.push_back({step, static_cast<uint8_t>(below(6) == 0 ? 255 : below(96)),
                                static_cast<uint8_t>(1 + below(below(2) ? 255 : 4)),
                                static_cast<uint8_t>(below(4) == 0 ? 255 : below(255)),
                                static_cast<uint8_t>(below(3) == 0 ? 255 : below(13))});
    }
    const uint32_t rate = rates[below(6)];
    const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
    Song played = Open(bytes, rate);
    const std::vector<int16_t> all = RenderFrames(played.get(), 30 * size_t{rate});
    const uint64_t frames = all.size() / 2;
    if (frames < 4000) continue;  // a song that ends at once
    Song kept = Open(bytes, rate);
    for (int i = 0; i < 6; ++i) {
      const uint64_t drawn = random() % (frames - 2000);
      const uint64_t target = i == 0 ? frames - 2000 : drawn;
      const bool fresh = i % 2 == 0;
      Song opened;
      if (fresh) opened = Open(bytes, rate);
      orgsynth_song* sought = fresh ? opened.get() : kept.get();
      ASSERT_EQ(orgsynth_seek(sought, target), ORGSYNTH_OK);
      const std::vector<int16_t> got = RenderFrames(sought, 1000);
      ASSERT_TRUE(std::equal(got.begin(), got.end(), all.begin() + static_cast<long>(2 * target)))
          << target << (fresh ? " fresh" : " kept open");
    }
  }
}

TEST(OrgsynthTest, UnmutingMidNoteIsSeamlessAndMutingSilencesOnlyThatTrack) {
  const std::vector<uint8_t> bytes = DemoSong("Joy");
  Song plain = Open(bytes);
  const std::vector<int16_t> heard = RenderFrames(plain.get(), 5 * 44100);
  Song silent = Open(bytes);
  orgsynth_set_track_mute(silent.get(), 0, 1);
  const std::vector<int16_t> without = RenderFrames(silent.get(), 5 * 44100);
  EXPECT_NE(heard, without);

  Song toggled = Open(bytes);
  orgsynth_set_track_mute(toggled.get(), 0, 1);
  EXPECT_EQ(orgsynth_get_track_mute(toggled.get(), 0), 1);
  const size_t switch_at = 2 * 44100 + 1234;  // not on a step: the note is ringing
  std::vector<int16_t> got = RenderFrames(toggled.get(), switch_at);
  orgsynth_set_track_mute(toggled.get(), 0, 0);
  const std::vector<int16_t> rest = RenderFrames(toggled.get(), 5 * 44100 - switch_at);
  got.insert(got.end(), rest.begin(), rest.end());
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 2 * switch_at, without.begin()));
  EXPECT_TRUE(std::equal(got.begin() + 2 * switch_at, got.end(), heard.begin() + 2 * switch_at));
  orgsynth_set_track_mute(toggled.get(), 99, 1);  // ignored
  EXPECT_EQ(orgsynth_get_track_mute(toggled.get(), 99), 0);
}

TEST(OrgsynthTest, FloatIsTheSameMixBeforeSaturationAndLoudPassagesGoPastFullScale) {
  // A song whose eight melody tracks play the same loud note: the sum passes 16 bits.
  org::ParsedSong loud;
  loud.version = 2;
  loud.wait = 50;
  loud.loop_end = 64;
  for (int t = 0; t < 8; ++t) {
    loud.tracks[t].wave = 4;  // a pulse
    loud.tracks[t].events = {{0, 45, 60, 254, 6}};
  }
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(loud);
  // Fading from a saturated mix: the fade's quieter end is exact again.
  std::vector<float> unfaded;  // the mix itself, from the first round
  for (bool with_fade : {false, true}) {
    Song a = Open(bytes);
    Song b = Open(bytes);
    for (orgsynth_song* s : {a.get(), b.get()}) {
      orgsynth_set_repeat_count(s, 0);
      if (with_fade) orgsynth_set_fade(s, 500);
    }
    const std::vector<int16_t> ints = RenderToEnd(a.get());
    std::vector<float> floats(ints.size());
    ASSERT_EQ(orgsynth_render_f32(b.get(), floats.data(), ints.size() / 2), ints.size() / 2);
    if (!with_fade) unfaded = floats;
    int saturated = 0;
    for (size_t i = 0; i < ints.size(); ++i) {
      const float scaled = floats[i] * 32768.0f;
      // Faded, then saturated: wherever the 16-bit output holds the (faded) mix, the two agree.
      if (std::fabs(scaled) < 32767.0f) {
        ASSERT_EQ(scaled, static_cast<float>(ints[i])) << i;
        continue;
      }
      ++saturated;
      EXPECT_EQ(std::abs(ints[i]), ints[i] < 0 ? 32768 : 32767) << i;
      if (i < unfaded.size()) {
        EXPECT_GE(std::fabs(unfaded[i] * 32768.0f), 32767.0f) << i;
      }
    }
    EXPECT_GT(saturated, 100) << "the test song is meant to be loud";
  }
}

// A four-step song of distinct steps (a different key on each, every step sounding whole), the
// steps `wait` ms long, looping over all four.
std::vector<uint8_t> FourStepSong(uint16_t wait) {
  org::ParsedSong song;
  song.version = 2;
  song.wait = wait;
  song.loop_start = 0;
  song.loop_end = 4;
  song.tracks[0].events = {
      {0, 36, 1, 200, 6}, {1, 43, 1, 200, 6}, {2, 48, 1, 200, 6}, {3, 55, 1, 200, 6}};
  return org::SerializeOrgSong(song);
}

TEST(OrgsynthTest, TheStepReportedIsTheOneThatSoundsAndTheLoopCountTurnsOverAsItComesRound) {
  for (uint16_t wait : {500, 2000, 7}) {
    SCOPED_TRACE(wait);
    Song song = Open(FourStepSong(wait));
    const int64_t per_step = int64_t{wait} * 44100 / 1000;  // whole frames at these waits
    std::vector<int16_t> block(2 * 1000);
    orgsynth_playing playing{};
    playing.size = sizeof playing;
    for (int64_t rendered = 0; rendered < 10 * per_step;) {
      // Uneven calls, some ending right on a step's first frame.
      const size_t frames =
          rendered % per_step == 0
              ? 1000
              : static_cast<size_t>(std::min<int64_t>(per_step - rendered % per_step, 997));
      rendered += static_cast<int64_t>(orgsynth_render_s16(song.get(), block.data(), frames));
      ASSERT_EQ(orgsynth_get_playing(song.get(), &playing), ORGSYNTH_OK);
      // The last frame rendered belongs to step (frame / per_step - 1): step s sounds from tick
      // s + 1; the count turns over when step 0 sounds again, after step 3 sounded whole.
      const int64_t ticks = (rendered - 1) / per_step;
      ASSERT_EQ(playing.step, ticks == 0 ? -1 : (ticks - 1) % 4) << rendered;
      ASSERT_EQ(playing.loop_count, ticks == 0 ? 0 : (ticks - 1) / 4) << rendered;
    }
  }
}

TEST(OrgsynthTest, OneRepeatPlaysTheLastStepOfThePassWhole) {
  Song song = Open(FourStepSong(500));
  orgsynth_set_repeat_count(song.get(), 0);
  const std::vector<int16_t> all = RenderToEnd(song.get());
  // The lead-in step, then four steps of 500 ms: 2.5 s, the last step's note sounding to the end.
  ASSERT_EQ(all.size(), 2u * 5 * 22050);
  const auto loud = [&](size_t from, size_t to) {
    int peak = 0;
    for (size_t i = 2 * from; i < 2 * to; ++i) peak = std::max(peak, std::abs(int{all[i]}));
    return peak;
  };
  EXPECT_GT(loud(4 * 22050 + 100, 5 * 22050 - 2000), 1000);
}

TEST(OrgsynthTest, ALoopOfNoStepsOrBackwardsRepeatsItsStartStepAsTheJukeboxDoes) {
  for (const auto& [start, end] : {std::pair{4, 4}, std::pair{4, 2}}) {
    SCOPED_TRACE(testing::Message() << start << ".." << end);
    org::ParsedSong song;
    song.version = 2;
    song.wait = 100;
    song.loop_start = start;
    song.loop_end = end;
    song.tracks[8].events = {{4, 40, 0, 254, 6}};  // a drum on the loop's step only
    Song s = Open(org::SerializeOrgSong(song));
    const orgsynth_info info = InfoOf(s.get());
    // Step 4 first sounds after the steps before the loop end, and a pass is that one step.
    const uint64_t step = 4410;
    EXPECT_EQ(info.loop_start_frame, (std::max(end, 1) + 1) * step);
    EXPECT_EQ(info.loop_frames, step);
    orgsynth_set_repeat_count(s.get(), 1);  // two passes: the drum twice
    EXPECT_EQ(orgsynth_length(s.get()), static_cast<int64_t>(info.loop_start_frame + 2 * step));
    const std::vector<int16_t> all = RenderToEnd(s.get());
    ASSERT_EQ(all.size(), 2 * (info.loop_start_frame + 2 * step));
    const auto sounding = [&](uint64_t frame) {
      return all[2 * frame] != 0 || all[2 * frame + 1] != 0;
    };
    for (uint64_t f = 0; f < info.loop_start_frame; ++f) ASSERT_FALSE(sounding(f)) << f;
    EXPECT_TRUE(sounding(info.loop_start_frame + 10));
    EXPECT_TRUE(sounding(info.loop_start_frame + step + 10));
  }
}

TEST(OrgsynthTest, HugeRepeatCountsAndFarLoopsSaturateInsteadOfWrapping) {
  org::ParsedSong week;  // a loop of a week: 9229 steps of 65535 ms
  week.version = 2;
  week.wait = 65535;
  week.loop_start = 40000;
  week.loop_end = 40000 + 9229;
  week.tracks[0].events = {{0, 40, 1, 200, 6}};
  Song song = Open(org::SerializeOrgSong(week));
  const orgsynth_info info = InfoOf(song.get());
  EXPECT_EQ(info.loop_start_frame, (40001ull * 65535 * 441 + 5) / 10);  // the intro, 30 days
  orgsynth_set_repeat_count(song.get(), 0);
  const int64_t once = orgsynth_length(song.get());
  EXPECT_GT(once, 0);
  for (int count : {1 << 20, 1 << 30, INT_MAX}) {
    orgsynth_set_repeat_count(song.get(), count);
    EXPECT_GT(orgsynth_length(song.get()), once) << count;  // never "endless", never wrapped
  }
  orgsynth_set_fade(song.get(), 1000);
  EXPECT_EQ(orgsynth_length(song.get()), INT64_MAX);
  // A loop over every step a file can hold, reached by a far seek: exact figures, no wrap.
  org::ParsedSong wide = week;
  wide.wait = 1;
  wide.loop_start = INT32_MIN;
  wide.loop_end = INT32_MAX;
  Song far = Open(org::SerializeOrgSong(wide));
  const uint64_t target = 44100ull * 3000000;  // beyond the first pass of 2^31 ms
  ASSERT_EQ(orgsynth_seek(far.get(), target), ORGSYNTH_OK);
  orgsynth_playing playing{};
  playing.size = sizeof playing;
  ASSERT_EQ(orgsynth_get_playing(far.get(), &playing), ORGSYNTH_OK);
  EXPECT_EQ(playing.loop_count, 0);  // the first jump enters the loop: not a return
  EXPECT_EQ(int64_t{playing.step}, int64_t{INT32_MIN} + (3000000000 - 1 - int64_t{INT32_MAX}) - 1);
}

int ThrowingDrums(void* what, int, const void**, size_t*) {
  if (what) throw std::runtime_error("no drums today");
  throw std::bad_alloc();
}

TEST(OrgsynthTest, OlderSmallerStructsAndFailingDrumFunctionsAreTakenCalmly) {
  Song song = Open(DemoSong("Joy"));
  std::vector<int16_t> block(2 * 44100);
  orgsynth_render_s16(song.get(), block.data(), 44100);
  // A caller built when the structs were smaller: only what it holds is written.
  struct {
    orgsynth_playing playing;
    char guard[8];
  } old_playing{};
  std::memset(old_playing.guard, 0x5A, sizeof old_playing.guard);
  old_playing.playing.size = offsetof(orgsynth_playing, step) + sizeof(int32_t);
  old_playing.playing.loop_count = 77;
  ASSERT_EQ(orgsynth_get_playing(song.get(), &old_playing.playing), ORGSYNTH_OK);
  EXPECT_GE(old_playing.playing.step, 0);
  EXPECT_EQ(old_playing.playing.loop_count, 77) << "past the caller's size";
  orgsynth_track_state state{};
  state.size = offsetof(orgsynth_track_state, volume) + sizeof(int);
  state.pan = 99;
  ASSERT_EQ(orgsynth_get_track_state(song.get(), 0, &state), ORGSYNTH_OK);
  EXPECT_EQ(state.pan, 99) << "past the caller's size";
  state.size = sizeof(size_t);
  EXPECT_EQ(orgsynth_get_track_state(song.get(), 0, &state), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  old_playing.playing.size = sizeof(size_t);
  EXPECT_EQ(orgsynth_get_playing(song.get(), &old_playing.playing),
            ORGSYNTH_ERROR_INVALID_ARGUMENT);

  // A drum function that throws: out of memory only when memory ran out.
  const std::vector<uint8_t> bytes = DemoSong("Joy");
  orgsynth_options options{};
  options.size = sizeof options;
  options.get_drum = ThrowingDrums;
  for (const bool runtime_error : {true, false}) {
    int flag = 1;
    options.drum_user = runtime_error ? &flag : nullptr;
    orgsynth_error error{};
    EXPECT_EQ(orgsynth_open_memory(bytes.data(), bytes.size(), &options, &error), nullptr);
    EXPECT_EQ(error.code,
              runtime_error ? ORGSYNTH_ERROR_INVALID_ARGUMENT : ORGSYNTH_ERROR_OUT_OF_MEMORY);
    if (runtime_error) {
      EXPECT_NE(std::string(error.message).find("no drums today"), std::string::npos);
    }
  }
}

TEST(OrgsynthTest, TheLengthFollowsTheRepeatCountAndTheFadeAndEndlessHasNone) {
  Song song = Open(DemoSong("Sakura"));
  const orgsynth_info info = InfoOf(song.get());
  EXPECT_EQ(orgsynth_get_repeat_count(song.get()), -1);
  EXPECT_EQ(orgsynth_length(song.get()), -1);
  orgsynth_set_repeat_count(song.get(), 0);
  // The intro, one pass, and the lead-in of one step before step 0 sounds.
  EXPECT_EQ(orgsynth_length(song.get()), static_cast<int64_t>(info.loop_end_frame));
  orgsynth_set_repeat_count(song.get(), 2);
  EXPECT_NEAR(static_cast<double>(orgsynth_length(song.get())),
              static_cast<double>(info.loop_end_frame + 2 * info.loop_frames), 2.0);
  orgsynth_set_fade(song.get(), 1000);
  EXPECT_NEAR(static_cast<double>(orgsynth_length(song.get())),
              static_cast<double>(info.loop_end_frame + 2 * info.loop_frames + 44100), 2.0);
  orgsynth_set_repeat_count(song.get(), -5);
  EXPECT_EQ(orgsynth_length(song.get()), -1);
  // Endless: it plays on past any number of passes.
  ASSERT_EQ(orgsynth_seek(song.get(), info.loop_end_frame + 5 * info.loop_frames), ORGSYNTH_OK);
  std::vector<int16_t> block(2 * 1000);
  EXPECT_EQ(orgsynth_render_s16(song.get(), block.data(), 1000), 1000u);
  orgsynth_playing playing{};
  playing.size = sizeof playing;
  ASSERT_EQ(orgsynth_get_playing(song.get(), &playing), ORGSYNTH_OK);
  EXPECT_EQ(playing.loop_count, 6);  // the sixth pass sounds
  EXPECT_GE(playing.step, info.loop_start_step);
}

// A player that ends a song at its time limit (the web page) ends it at a frame and fades
// after it: the sound up to the end is the endless song's, the fade falls to silence on its last
// frame, and the repeat count takes over again when asked.
TEST(OrgsynthTest, AnEndAtAFrameIsFollowedByTheFadeAndTheRepeatCountTakesOverAgain) {
  const std::vector<uint8_t> bytes = DemoSong("Sakura");
  Song endless = Open(bytes);
  Song ended = Open(bytes);
  const int64_t end = 3 * 44100 + 17;
  EXPECT_EQ(orgsynth_set_end_frame(ended.get(), end), ORGSYNTH_OK);
  EXPECT_EQ(orgsynth_length(ended.get()), end);
  orgsynth_set_fade(ended.get(), 1000);
  EXPECT_EQ(orgsynth_length(ended.get()), end + 44100);
  const std::vector<int16_t> whole = RenderFrames(endless.get(), static_cast<size_t>(end + 44100));
  const std::vector<int16_t> faded = RenderToEnd(ended.get());
  ASSERT_EQ(faded.size(), whole.size());
  EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + 2 * end, faded.begin()));
  double whole_energy = 0, faded_energy = 0, last_energy = 0;
  for (size_t i = 2 * static_cast<size_t>(end); i < whole.size(); ++i) {
    whole_energy += std::abs(whole[i]);
    faded_energy += std::abs(faded[i]);
    EXPECT_LE(std::abs(faded[i]), std::abs(whole[i]) + 1) << "sample " << i;
  }
  for (size_t i = faded.size() - 200; i < faded.size(); ++i) last_energy += std::abs(faded[i]);
  EXPECT_NEAR(faded_energy, whole_energy / 2, whole_energy / 10);  // a straight line down
  EXPECT_LE(last_energy, 200.0);
  // Past the end (a seek or an earlier end) nothing more renders.
  std::vector<int16_t> block(2 * 100);
  EXPECT_EQ(orgsynth_render_s16(ended.get(), block.data(), 100), 0u);
  EXPECT_EQ(orgsynth_set_end_frame(ended.get(), 1000), ORGSYNTH_OK);
  EXPECT_EQ(orgsynth_render_s16(ended.get(), block.data(), 100), 0u);
  orgsynth_set_end_frame(ended.get(), -1);
  EXPECT_EQ(orgsynth_length(ended.get()), -1);
  orgsynth_set_end_frame(ended.get(), end);
  orgsynth_set_repeat_count(ended.get(), 0);
  const orgsynth_info info = InfoOf(ended.get());
  EXPECT_EQ(orgsynth_length(ended.get()), static_cast<int64_t>(info.loop_end_frame) + 44100);
  EXPECT_EQ(orgsynth_set_end_frame(nullptr, 5), ORGSYNTH_ERROR_INVALID_ARGUMENT);
}

// The library's defaults are what it does: a song opened without options plays at the default
// rate, and the jukebox's fade is a whole number of its 35 ms frames.
TEST(OrgsynthTest, TheDefaultsAreTheOnesTheLibraryUses) {
  const std::vector<uint8_t> bytes = DemoSong("Joy");
  Song song(orgsynth_open_memory(bytes.data(), bytes.size(), nullptr, nullptr));
  ASSERT_TRUE(song);
  EXPECT_EQ(InfoOf(song.get()).sample_rate, orgsynth_default_sample_rate());
  EXPECT_GT(orgsynth_jukebox_fade_ms(), 0u);
  EXPECT_EQ(orgsynth_jukebox_fade_ms() % 35, 0u);
}

TEST(OrgsynthTest, TheInfoDescribesTheSongAndItsFrames) {
  const std::vector<uint8_t> bytes = DemoSong("Korobeiniki");
  org::ParsedSong parsed;
  ASSERT_EQ(org::ParseOrgSong(bytes.data(), bytes.size(), &parsed), org::ParseResult::kOk);
  Song song = Open(bytes, 48000);
  const orgsynth_info info = InfoOf(song.get());
  EXPECT_EQ(info.version, parsed.version);
  EXPECT_EQ(info.sample_rate, 48000u);
  EXPECT_EQ(info.step_ms, parsed.wait);
  EXPECT_EQ(info.beats_per_bar, parsed.meter[0]);
  EXPECT_EQ(info.steps_per_beat, parsed.meter[1]);
  EXPECT_EQ(info.loop_start_step, parsed.loop_start);
  EXPECT_EQ(info.loop_end_step, parsed.loop_end);
  EXPECT_EQ(info.loop_start_frame,
            std::llround((parsed.loop_start + 1) * double(parsed.wait) * 48.0));
  EXPECT_EQ(info.loop_end_frame, std::llround((parsed.loop_end + 1) * double(parsed.wait) * 48.0));
  EXPECT_EQ(info.intro_frames, info.loop_start_frame);
  EXPECT_EQ(info.loop_frames, info.loop_end_frame - info.loop_start_frame);
  for (int t = 0; t < ORGSYNTH_TRACKS; ++t) {
    EXPECT_EQ(info.tracks[t].instrument, parsed.tracks[t].wave);
    EXPECT_EQ(info.tracks[t].note_count, parsed.tracks[t].events.size());
    EXPECT_EQ(info.tracks[t].finetune, parsed.tracks[t].finetune - 1000);
  }
  // Events for a piano roll, from any first event.
  const org::ParsedSong::Track& track = parsed.tracks[0];
  ASSERT_GT(track.events.size(), 3u);
  orgsynth_event events[2];
  ASSERT_EQ(orgsynth_get_events(song.get(), 0, 2, events, 2), 2u);
  EXPECT_EQ(events[0].step, track.events[2].position);
  EXPECT_EQ(events[1].key, track.events[3].key);
  EXPECT_EQ(orgsynth_get_events(song.get(), 0, track.events.size(), events, 2), 0u);
  EXPECT_EQ(orgsynth_get_events(song.get(), 16, 0, events, 2), 0u);
  // An info struct from an older, shorter header is filled only as far as it goes.
  orgsynth_info short_info{};
  short_info.size = offsetof(orgsynth_info, tracks);
  EXPECT_EQ(orgsynth_get_info(song.get(), &short_info), ORGSYNTH_OK);
  EXPECT_EQ(short_info.step_ms, parsed.wait);
  EXPECT_EQ(short_info.tracks[0].note_count, 0u);
  short_info.size = 8;
  EXPECT_EQ(orgsynth_get_info(song.get(), &short_info), ORGSYNTH_ERROR_INVALID_ARGUMENT);
}

// One melody track holding A4 on the sine from step 0.
std::vector<uint8_t> OneSine(uint8_t key = 45) {
  org::ParsedSong song;
  song.version = 2;
  song.wait = 100;
  song.loop_end = 100;
  song.tracks[2].events = {{0, key, 90, 200, 6}};
  return org::SerializeOrgSong(song);
}

TEST(OrgsynthTest, TrackLevelsAndScopesShowEachTracksOwnSignal) {
  Song song = Open(OneSine());
  orgsynth_set_levels(song.get(), 1);
  ASSERT_EQ(orgsynth_set_scope_frames(song.get(), 2048), ORGSYNTH_OK);
  std::vector<int16_t> block = RenderFrames(song.get(), 44100);  // the note sounds from 4410
  orgsynth_track_state state{};
  state.size = sizeof state;
  ASSERT_EQ(orgsynth_get_track_state(song.get(), 2, &state), ORGSYNTH_OK);
  EXPECT_EQ(state.key, 45);
  EXPECT_EQ(state.volume, 200);
  EXPECT_EQ(state.pan, 6);
  EXPECT_GT(state.peak, 0.1f);
  ASSERT_EQ(orgsynth_get_track_state(song.get(), 3, &state), ORGSYNTH_OK);
  EXPECT_EQ(state.key, ORGSYNTH_NO_KEY);
  EXPECT_EQ(state.peak, 0.0f);
  // The scope holds the sine: A4 (440 Hz) crosses zero upwards about every 100 frames.
  std::vector<float> scope(2048);
  ASSERT_EQ(orgsynth_get_scope(song.get(), 2, scope.data(), scope.size()), 2048u);
  int rising = 0;
  for (size_t i = 1; i < scope.size(); ++i) rising += scope[i - 1] < 0 && scope[i] >= 0;
  EXPECT_NEAR(rising, 2048 * 440 / 44100, 1);
  ASSERT_EQ(orgsynth_get_scope(song.get(), 3, scope.data(), scope.size()), 2048u);
  EXPECT_EQ(*std::max_element(scope.begin(), scope.end()), 0.0f);
  // Muted: no level, and the output is silent.
  orgsynth_set_track_mute(song.get(), 2, 1);
  block = RenderFrames(song.get(), 4410);
  ASSERT_EQ(orgsynth_get_track_state(song.get(), 2, &state), ORGSYNTH_OK);
  EXPECT_EQ(state.muted, 1);
  EXPECT_EQ(state.peak, 0.0f);
  EXPECT_EQ(*std::max_element(block.begin(), block.end()), 0);
  // Levels off: no peaks, the same sound.
  orgsynth_set_levels(song.get(), 0);
  orgsynth_set_track_mute(song.get(), 2, 0);
  RenderFrames(song.get(), 4410);
  ASSERT_EQ(orgsynth_get_track_state(song.get(), 2, &state), ORGSYNTH_OK);
  EXPECT_EQ(state.peak, 0.0f);
  EXPECT_EQ(orgsynth_set_scope_frames(song.get(), 0), ORGSYNTH_OK);
  EXPECT_EQ(orgsynth_get_scope(song.get(), 2, scope.data(), scope.size()), 0u);
}

struct DrumCalls {
  std::vector<int> asked;
  bool give = true;
};

int GiveDrum(void* user, int drum, const void** data, size_t* size) {
  auto* calls = static_cast<DrumCalls*>(user);
  calls->asked.push_back(drum);
  return calls->give && orgsynth_builtin_drum(drum, data, size);
}

TEST(OrgsynthTest, TheCallerMayGiveItsOwnBankAndDrums) {
  const std::vector<uint8_t> bytes = DemoSong("Jacques");
  Song ours = Open(bytes);
  const std::vector<int16_t> reference = RenderFrames(ours.get(), 10 * 44100);

  // The same bytes given by the caller make the same sound.
  const std::vector<uint8_t> bank = ReadFile(PROJECT_SOURCE_DIR "/data/Org/Wave100.dat");
  DrumCalls calls;
  orgsynth_options options{};
  options.size = sizeof options;
  options.wave_bank = bank.data();
  options.wave_bank_size = bank.size();
  options.get_drum = &GiveDrum;
  options.drum_user = &calls;
  Song given(orgsynth_open_memory(bytes.data(), bytes.size(), &options, nullptr));
  ASSERT_TRUE(given);
  EXPECT_EQ(calls.asked.size(), 8u);  // once per drum track
  EXPECT_EQ(RenderFrames(given.get(), 10 * 44100), reference);

  // A silent bank and no drums: silence.
  const std::vector<uint8_t> silent_bank(ORGSYNTH_WAVE_BANK_BYTES, 0);
  options.wave_bank = silent_bank.data();
  calls.give = false;
  Song silent(orgsynth_open_memory(bytes.data(), bytes.size(), &options, nullptr));
  ASSERT_TRUE(silent);
  const std::vector<int16_t> quiet = RenderFrames(silent.get(), 10 * 44100);
  EXPECT_EQ(*std::max_element(quiet.begin(), quiet.end()), 0);

  // Our drums are the shipped files, byte for byte.
  for (int drum = 0; drum < ORGSYNTH_DRUMS; ++drum) {
    const void* data = nullptr;
    size_t size = 0;
    ASSERT_TRUE(orgsynth_builtin_drum(drum, &data, &size));
    const std::vector<uint8_t> file = ReadFile(std::string(PROJECT_SOURCE_DIR "/data/Org/Org/") +
                                               orgsynth_drum_name(drum) + ".wav");
    EXPECT_EQ(std::vector<uint8_t>(static_cast<const uint8_t*>(data),
                                   static_cast<const uint8_t*>(data) + size),
              file)
        << orgsynth_drum_name(drum);
  }
  const void* data = nullptr;
  size_t size = 0;
  EXPECT_FALSE(orgsynth_builtin_drum(28, &data, &size));
  EXPECT_EQ(orgsynth_drum_name(28), nullptr);
}

TEST(OrgsynthTest, BadInputIsAnErrorWithAMessageNeverACrash) {
  auto expect_refused = [](const std::vector<uint8_t>& bytes, const orgsynth_options* options,
                           int code, const char* words) {
    orgsynth_error error{};
    EXPECT_EQ(orgsynth_open_memory(bytes.data(), bytes.size(), options, &error), nullptr);
    EXPECT_EQ(error.code, code);
    EXPECT_NE(std::string(error.message).find(words), std::string::npos) << error.message;
    // Without an error struct: still NULL, still no crash.
    EXPECT_EQ(orgsynth_open_memory(bytes.data(), bytes.size(), options, nullptr), nullptr);
  };
  const std::vector<uint8_t> song = DemoSong("Twinkle");
  expect_refused({'R', 'I', 'F', 'F', 0, 0, 0, 0}, nullptr, ORGSYNTH_ERROR_NOT_ORG,
                 "not an Org song");
  expect_refused({}, nullptr, ORGSYNTH_ERROR_NOT_ORG, "not an Org song");
  expect_refused(std::vector<uint8_t>(song.begin(), song.begin() + 200), nullptr,
                 ORGSYNTH_ERROR_DAMAGED, "damaged");
  std::vector<uint8_t> no_steps = song;
  no_steps[6] = no_steps[7] = 0;
  expect_refused(no_steps, nullptr, ORGSYNTH_ERROR_ZERO_STEP, "0 ms");
  orgsynth_options options{};
  options.size = sizeof options;
  options.sample_rate = 7999;
  expect_refused(song, &options, ORGSYNTH_ERROR_INVALID_ARGUMENT, "sample rate");
  options.sample_rate = 192001;
  expect_refused(song, &options, ORGSYNTH_ERROR_INVALID_ARGUMENT, "sample rate");
  options.sample_rate = 0;
  options.interpolation = 7;
  expect_refused(song, &options, ORGSYNTH_ERROR_INVALID_ARGUMENT, "interpolation");
  options.interpolation = 0;
  options.wave_bank = song.data();
  expect_refused(song, &options, ORGSYNTH_ERROR_INVALID_ARGUMENT, "waveform bank");
  orgsynth_error error{};
  EXPECT_EQ(orgsynth_open_memory(nullptr, 10, nullptr, &error), nullptr);
  EXPECT_EQ(error.code, ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_STREQ(orgsynth_error_string(ORGSYNTH_ERROR_NOT_ORG), "not an Org song");
  EXPECT_STREQ(orgsynth_error_string(12345), "unknown error");

  // Every call takes a NULL song calmly.
  int16_t s16[2];
  float f32[2];
  orgsynth_info info{};
  info.size = sizeof info;
  EXPECT_EQ(orgsynth_render_s16(nullptr, s16, 1), 0u);
  EXPECT_EQ(orgsynth_render_f32(nullptr, f32, 1), 0u);
  EXPECT_EQ(orgsynth_seek(nullptr, 5), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_position(nullptr), 0u);
  EXPECT_EQ(orgsynth_length(nullptr), -1);
  EXPECT_EQ(orgsynth_get_info(nullptr, &info), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  orgsynth_set_repeat_count(nullptr, 1);
  orgsynth_set_fade(nullptr, 1);
  orgsynth_set_track_mute(nullptr, 1, 1);
  orgsynth_close(nullptr);

  // An options struct from an older header (shorter) is read only as far as it goes.
  orgsynth_options old{};
  old.size = offsetof(orgsynth_options, interpolation);
  old.sample_rate = 22050;
  Song small(orgsynth_open_memory(song.data(), song.size(), &old, nullptr));
  ASSERT_TRUE(small);
  EXPECT_EQ(InfoOf(small.get()).sample_rate, 22050u);
}

TEST(OrgsynthTest, TheVersionAndTheProbe) {
  EXPECT_STREQ(orgsynth_version(), ORGSYNTH_VERSION_STRING);
  const std::vector<uint8_t> song = DemoSong("Joy");
  EXPECT_TRUE(orgsynth_probe(song.data(), 6));
  EXPECT_FALSE(orgsynth_probe(song.data(), 5));
  EXPECT_FALSE(orgsynth_probe("Org-04", 6));
  EXPECT_FALSE(orgsynth_probe(nullptr, 6));
}

}  // namespace
