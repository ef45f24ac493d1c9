// liborgsynth 1.1's interactive controls through the C API: every control at its neutral value
// renders 1.0's bytes; the tempo factor moves the steps to the frames the header states with the
// pitches kept; a transposition of +12 doubles each melody note's measured frequency; a gain's
// fade reaches its gain on the frame asked and not before, composed with mute; notes over the
// song sound at their key and stop; the loop events fall on the loop's frames; seeks stay exact
// under tempo and transposition; bad arguments are refused, changing nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "include/orgsynth.h"
#include "test_support/golden_renders.h"

namespace {

std::vector<uint8_t> DemoSong(const std::string& name) {
  std::ifstream in(PROJECT_SOURCE_DIR "/data/Org/" + name + ".org", std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct SongCloser {
  void operator()(orgsynth_song* song) const { orgsynth_close(song); }
};
using Song = std::unique_ptr<orgsynth_song, SongCloser>;

Song Open(const std::string& name, uint32_t rate = 44100) {
  const std::vector<uint8_t> bytes = DemoSong(name);
  orgsynth_options options{};
  options.size = sizeof options;
  options.sample_rate = rate;
  orgsynth_error error{};
  Song song(orgsynth_open_memory(bytes.data(), bytes.size(), &options, &error));
  EXPECT_TRUE(song) << error.message;
  return song;
}

std::vector<int16_t> Render(orgsynth_song* song, size_t frames) {
  std::vector<int16_t> out(2 * frames);
  out.resize(2 * orgsynth_render_s16(song, out.data(), frames));
  return out;
}

// The unsaturated mix as integers (f32 * 32768 is exact).
std::vector<int32_t> RenderWide(orgsynth_song* song, size_t frames) {
  std::vector<float> f(2 * frames);
  f.resize(2 * orgsynth_render_f32(song, f.data(), frames));
  std::vector<int32_t> out(f.size());
  for (size_t i = 0; i < f.size(); ++i) out[i] = static_cast<int32_t>(std::lround(f[i] * 32768));
  return out;
}

orgsynth_info InfoOf(const orgsynth_song* song) {
  orgsynth_info info{};
  info.size = sizeof info;
  EXPECT_EQ(orgsynth_get_info(song, &info), ORGSYNTH_OK);
  return info;
}

void SoloTrack(orgsynth_song* song, int solo) {
  for (int t = 0; t < ORGSYNTH_TRACKS; ++t) orgsynth_set_track_mute(song, t, t != solo);
}

std::vector<orgsynth_event> Events(const orgsynth_song* song, int track) {
  std::vector<orgsynth_event> events(4096);
  events.resize(orgsynth_get_events(song, track, 0, events.data(), events.size()));
  return events;
}

// The frequency of the left channel over frames [from, to): the lag of the autocorrelation's
// highest peak (refined between samples), as rate / lag. 0 when silent.
double MeasuredFrequency(const std::vector<int16_t>& stereo, size_t from, size_t to, int rate) {
  std::vector<double> x;
  for (size_t i = from; i < to && 2 * i < stereo.size(); ++i) x.push_back(stereo[2 * i]);
  double mean = 0;
  for (double v : x) mean += v;
  mean /= std::max<size_t>(x.size(), 1);
  for (double& v : x) v -= mean;
  const int min_lag = rate / 4000,
            max_lag = std::min<int>(rate / 40, static_cast<int>(x.size()) / 2);
  auto correlation = [&](int lag) {
    double sum = 0;
    for (size_t i = 0; i + static_cast<size_t>(lag) < x.size(); ++i) sum += x[i] * x[i + lag];
    return sum / static_cast<double>(x.size() - static_cast<size_t>(lag));
  };
  std::vector<double> c(static_cast<size_t>(max_lag) + 2, 0.0);
  for (int lag = min_lag; lag <= max_lag + 1; ++lag) c[lag] = correlation(lag);
  const double zero = correlation(0);
  if (zero <= 0) return 0;
  // The first lag whose peak comes near the highest: the period, not a multiple of it.
  double best = 0;
  for (int lag = min_lag + 1; lag <= max_lag; ++lag) best = std::max(best, c[lag]);
  for (int lag = min_lag + 1; lag <= max_lag; ++lag) {
    if (c[lag] < 0.9 * best || c[lag] < c[lag - 1] || c[lag] < c[lag + 1]) continue;
    const double a = c[lag - 1], b = c[lag], d = c[lag + 1];
    const double shift = (a - d) / (2 * (a - 2 * b + d));
    return rate / (lag + (std::isfinite(shift) ? shift : 0.0));
  }
  return 0;
}

// The frame on which step `step` sounds at `factor` from the start, as the header states it.
int64_t StepFrame(const orgsynth_info& info, int64_t step, double factor) {
  return std::llround(static_cast<double>(step + 1) * info.step_ms * (info.sample_rate / 1000.0) /
                      factor);
}

TEST(OrgsynthInteractiveTest, EveryControlAtItsNeutralValueRendersTheBytesOf10) {
  for (const std::string& name : test_support::DemoSongNames()) {
    SCOPED_TRACE(name);
    Song plain = Open(name), steered = Open(name);
    orgsynth_set_repeat_count(plain.get(), 0);
    orgsynth_set_repeat_count(steered.get(), 0);
    orgsynth_set_fade(plain.get(), 2000);
    orgsynth_set_fade(steered.get(), 2000);
    std::vector<int16_t> want = Render(plain.get(), 44100 * 3);
    std::vector<int16_t> got;
    // Controls set away from neutral and back at once, and a note started and stopped before it
    // sounds, leave nothing behind.
    ASSERT_EQ(orgsynth_set_tempo_factor(steered.get(), 3.0), ORGSYNTH_OK);
    ASSERT_EQ(orgsynth_set_tempo_factor(steered.get(), 1.0), ORGSYNTH_OK);
    ASSERT_EQ(orgsynth_set_transpose(steered.get(), 7, -30), ORGSYNTH_OK);
    ASSERT_EQ(orgsynth_set_transpose(steered.get(), 0, 0), ORGSYNTH_OK);
    ASSERT_EQ(orgsynth_set_transpose_drums(steered.get(), 1), ORGSYNTH_OK);
    for (int t = ORGSYNTH_MASTER; t < ORGSYNTH_TRACKS; ++t) {
      ASSERT_EQ(orgsynth_set_track_gain(steered.get(), t, 0.25, 0), ORGSYNTH_OK);
      ASSERT_EQ(orgsynth_set_track_gain(steered.get(), t, 1.0, 0), ORGSYNTH_OK);
    }
    got = Render(steered.get(), 44100 * 3);
    EXPECT_EQ(got, want);
    // The rest of the song (the end and its fade) in one go, the loop events asked on the way.
    EXPECT_GE(orgsynth_next_loop_frame(steered.get()), -1);
    std::vector<int16_t> rest_want = Render(plain.get(), 44100 * 120);
    std::vector<int16_t> rest_got = Render(steered.get(), 44100 * 120);
    EXPECT_EQ(rest_got, rest_want);
    EXPECT_EQ(orgsynth_length(steered.get()), orgsynth_length(plain.get()));
  }
}

TEST(OrgsynthInteractiveTest, TempoTwoPlaysEachStepOnHalfTheFramesWithTheSamePitches) {
  Song song = Open("Jacques");
  const orgsynth_info info = InfoOf(song.get());
  ASSERT_EQ(orgsynth_set_tempo_factor(song.get(), 2.0), ORGSYNTH_OK);
  EXPECT_EQ(orgsynth_get_tempo_factor(song.get()), 2.0);
  // Step s sounds from its frame on: the frame before it is the step before's, the frame itself
  // is step s's (the step reported is the one the last frame rendered sounded).
  orgsynth_playing playing{};
  playing.size = sizeof playing;
  int64_t at = 0;
  for (int64_t step = 0; step < 80; ++step) {
    const int64_t frame = StepFrame(info, step, 2.0);
    EXPECT_EQ(frame, std::llround((step + 1) * info.step_ms * 44.1 / 2));
    Render(song.get(), static_cast<size_t>(frame - at));
    orgsynth_get_playing(song.get(), &playing);
    EXPECT_EQ(playing.step, step - 1) << "step " << step << " began before frame " << frame;
    Render(song.get(), 1);
    at = frame + 1;
    orgsynth_get_playing(song.get(), &playing);
    ASSERT_EQ(playing.step, step) << "step " << step << " did not begin on frame " << frame;
  }
  // The length at tempo 2: the body's last tick at half its frames.
  orgsynth_set_repeat_count(song.get(), 1);
  const int64_t steps = info.loop_end_step + (info.loop_end_step - info.loop_start_step);
  EXPECT_EQ(orgsynth_length(song.get()), StepFrame(info, steps, 2.0));

  // The same notes at the same pitch: each of track 0's notes measured at both tempos.
  Song normal = Open("Jacques"), fast = Open("Jacques");
  SoloTrack(normal.get(), 0);
  SoloTrack(fast.get(), 0);
  orgsynth_set_tempo_factor(fast.get(), 2.0);
  const std::vector<int16_t> slow_render = Render(normal.get(), 44100 * 20);
  const std::vector<int16_t> fast_render = Render(fast.get(), 44100 * 10);
  int measured = 0;
  for (const orgsynth_event& e : Events(normal.get(), 0)) {
    if (e.key == ORGSYNTH_NO_KEY || e.length < 2 ||
        StepFrame(info, e.step + e.length, 1) >= 44100 * 20)
      continue;
    const double slow = MeasuredFrequency(slow_render, StepFrame(info, e.step, 1) + 500,
                                          StepFrame(info, e.step + e.length - 1, 1), 44100);
    const double quick = MeasuredFrequency(fast_render, StepFrame(info, e.step, 2) + 500,
                                           StepFrame(info, e.step + e.length - 1, 2), 44100);
    EXPECT_NEAR(quick / slow, 1.0, 0.01) << "key " << int{e.key} << " at step " << e.step;
    ++measured;
  }
  EXPECT_GE(measured, 10);
}

TEST(OrgsynthInteractiveTest, TransposingUpTwelveDoublesEveryMelodyNotesFrequency) {
  for (int track = 0; track < 2; ++track) {
    Song plain = Open("Korobeiniki"), up = Open("Korobeiniki");
    const orgsynth_info info = InfoOf(plain.get());
    SoloTrack(plain.get(), track);
    SoloTrack(up.get(), track);
    ASSERT_EQ(orgsynth_set_transpose(up.get(), 12, 0), ORGSYNTH_OK);
    const std::vector<int16_t> a = Render(plain.get(), 44100 * 15);
    const std::vector<int16_t> b = Render(up.get(), 44100 * 15);
    int measured = 0;
    for (const orgsynth_event& e : Events(plain.get(), track)) {
      const int64_t from = StepFrame(info, e.step, 1) + 300,
                    to = StepFrame(info, e.step + e.length - 1, 1);
      if (e.key == ORGSYNTH_NO_KEY || to - from < 2000 || to >= 44100 * 15) continue;
      const double f0 = MeasuredFrequency(a, from, to, 44100);
      const double f1 = MeasuredFrequency(b, from, to, 44100);
      ASSERT_GT(f0, 20.0);
      EXPECT_NEAR(f1 / f0, 2.0, 0.02) << "track " << track << " key " << int{e.key};
      ++measured;
    }
    EXPECT_GE(measured, 8) << "track " << track;
  }
}

TEST(OrgsynthInteractiveTest, DrumsKeepTheirPitchUnlessTheFlagTransposesThemToo) {
  Song plain = Open("Joy"), up = Open("Joy"), all_up = Open("Joy");
  for (orgsynth_song* song : {plain.get(), up.get(), all_up.get()})
    for (int t = 0; t < ORGSYNTH_MELODY_TRACKS; ++t) orgsynth_set_track_mute(song, t, 1);
  orgsynth_set_transpose(up.get(), 5, 0);
  orgsynth_set_transpose(all_up.get(), 5, 0);
  orgsynth_set_transpose_drums(all_up.get(), 1);
  const std::vector<int16_t> drums = Render(plain.get(), 44100 * 8);
  EXPECT_EQ(Render(up.get(), 44100 * 8), drums);
  EXPECT_NE(Render(all_up.get(), 44100 * 8), drums);
}

TEST(OrgsynthInteractiveTest, AFadeReachesItsGainOnTheFrameAskedAndNotBefore) {
  for (int track : {0, ORGSYNTH_MASTER}) {
    SCOPED_TRACE(track);
    Song reference = Open("Greensleeves"), faded = Open("Greensleeves");
    if (track >= 0) {
      SoloTrack(reference.get(), track);
      SoloTrack(faded.get(), track);
    }
    const size_t start = 44100 * 3 + 17;
    RenderWide(reference.get(), start);
    RenderWide(faded.get(), start);
    ASSERT_EQ(orgsynth_set_track_gain(faded.get(), track, 0.5, 250), ORGSYNTH_OK);
    const int64_t n = 44100 / 4;  // 250 ms
    const std::vector<int32_t> want = RenderWide(reference.get(), 44100);
    const std::vector<int32_t> got = RenderWide(faded.get(), 44100);
    int64_t differing_late = 0;
    for (int64_t j = 0; j < 44100; ++j) {
      const int64_t gain = j < n ? 32768 + (16384 - 32768) * j / n : 16384;
      for (int c = 0; c < 2; ++c) {
        const int32_t x = want[2 * j + c];
        ASSERT_EQ(got[2 * j + c], static_cast<int32_t>((int64_t{x} * gain) >> 15))
            << "frame " << j << " of the fade";
        if (j >= n * 9 / 10 && j < n && got[2 * j + c] != (x >> 1)) ++differing_late;
      }
    }
    EXPECT_GT(differing_late, 0) << "the gain was reached before its frame";
    EXPECT_TRUE(
        std::any_of(want.begin(), want.end(), [](int32_t v) { return std::abs(v) > 4096; }));
    EXPECT_NEAR(orgsynth_get_track_gain(faded.get(), track), 0.5, 1e-9);
  }
}

TEST(OrgsynthInteractiveTest, AGainComposesWithMuteAndASeekCompletesItsFade) {
  Song reference = Open("Sakura"), faded = Open("Sakura");
  SoloTrack(reference.get(), 0);
  SoloTrack(faded.get(), 0);
  RenderWide(reference.get(), 44100);
  RenderWide(faded.get(), 44100);
  orgsynth_set_track_gain(faded.get(), 0, 0.25, 1000);
  orgsynth_set_track_mute(faded.get(), 0, 1);  // muted mid-fade: silent, the fade moves on
  RenderWide(reference.get(), 44100 / 2);
  for (int32_t v : RenderWide(faded.get(), 44100 / 2)) ASSERT_EQ(v, 0);
  orgsynth_set_track_mute(faded.get(), 0, 0);
  RenderWide(reference.get(), 44100 / 2);
  RenderWide(faded.get(), 44100 / 2);
  // The fade ended while muted: at its gain now.
  const std::vector<int32_t> want = RenderWide(reference.get(), 20000);
  const std::vector<int32_t> got = RenderWide(faded.get(), 20000);
  for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(got[i], (int64_t{want[i]} * 8192) >> 15);
  // A seek jumps to the end of a fade under way.
  orgsynth_set_track_gain(faded.get(), 0, 1.0, 60000);
  orgsynth_seek(faded.get(), 44100 * 5);
  orgsynth_seek(reference.get(), 44100 * 5);
  EXPECT_EQ(RenderWide(faded.get(), 20000), RenderWide(reference.get(), 20000));
  EXPECT_EQ(orgsynth_get_track_gain(faded.get(), 0), 1.0);
}

TEST(OrgsynthInteractiveTest, ANoteOverTheSongSoundsAtItsKeyAndStops) {
  Song song = Open("Twinkle"), twin = Open("Twinkle");
  const orgsynth_info info = InfoOf(song.get());
  for (int t = 0; t < ORGSYNTH_TRACKS; ++t) orgsynth_set_track_mute(song.get(), t, 1);
  for (int t = 0; t < ORGSYNTH_TRACKS; ++t) orgsynth_set_track_mute(twin.get(), t, 1);
  // Key 45: octave 3, A: 440 Hz on a period of 128 samples, the track's finetune added; track 0
  // sustains its notes.
  ASSERT_EQ(info.tracks[0].one_shot, 0);
  const int voice = orgsynth_play_note(song.get(), 0, 45, 200, 6);
  ASSERT_GE(voice, 0);
  ASSERT_EQ(orgsynth_play_note(twin.get(), 0, 45, 200, 6), voice);
  const std::vector<int16_t> sound = Render(song.get(), 22050 + 37);
  Render(twin.get(), 22050 + 37);
  const double expected = 440.0 + info.tracks[0].finetune / 128.0;
  EXPECT_NEAR(MeasuredFrequency(sound, 1000, 22050, 44100), expected, expected * 0.005);
  EXPECT_TRUE(std::any_of(sound.end() - 200, sound.end(), [](int16_t v) { return v != 0; }));
  ASSERT_EQ(orgsynth_stop_note(song.get(), voice), ORGSYNTH_OK);
  // It finishes the period under way (128 samples at 440 Hz's rate: ~100 frames), then is silent.
  const std::vector<int16_t> after = Render(song.get(), 2000);
  const std::vector<int16_t> going_on = Render(twin.get(), 2000);
  size_t heard = after.size();
  while (heard > 0 && after[heard - 1] == 0) --heard;
  EXPECT_LE(heard, 2u * 102);
  // (Its very last sample is held rather than glided into the loop's start.)
  EXPECT_TRUE(std::equal(after.begin(),
                         after.begin() + static_cast<long>(std::max<size_t>(heard, 4) - 4),
                         going_on.begin()));
  EXPECT_TRUE(
      std::any_of(going_on.begin() + 2 * 200, going_on.end(), [](int16_t v) { return v != 0; }));

  // A drum note plays once and ends by itself; the voices run out and come back.
  const int drum = orgsynth_play_note(song.get(), 8, 40, 254, 6);
  ASSERT_GE(drum, 0);
  const std::vector<int16_t> hit = Render(song.get(), 44100 * 3);
  EXPECT_TRUE(std::any_of(hit.begin(), hit.begin() + 2000, [](int16_t v) { return v != 0; }));
  EXPECT_TRUE(std::all_of(hit.end() - 2000, hit.end(), [](int16_t v) { return v == 0; }));
  std::vector<int> voices;
  for (int i = 0; i < ORGSYNTH_NOTE_VOICES; ++i)
    voices.push_back(orgsynth_play_note(song.get(), 0, 30 + i, 100, i % 13));
  std::sort(voices.begin(), voices.end());
  for (int i = 0; i < ORGSYNTH_NOTE_VOICES; ++i) EXPECT_EQ(voices[i], i);
  EXPECT_EQ(orgsynth_play_note(song.get(), 0, 60, 100, 6), -ORGSYNTH_ERROR_NO_VOICE);
  EXPECT_EQ(orgsynth_stop_note(song.get(), 3), ORGSYNTH_OK);
  Render(song.get(), 1000);
  EXPECT_EQ(orgsynth_play_note(song.get(), 0, 60, 100, 6), 3);
  // A seek silences every note.
  orgsynth_seek(song.get(), 0);
  const std::vector<int16_t> quiet = Render(song.get(), 4000);
  EXPECT_TRUE(std::all_of(quiet.begin(), quiet.end(), [](int16_t v) { return v == 0; }));
}

TEST(OrgsynthInteractiveTest, LoopEventsFallOnTheLoopStartFramePlusWholePasses) {
  for (uint32_t rate : {44100u, 22050u}) {
    for (double factor : {1.0, 2.0}) {
      Song song = Open("Greensleeves", rate);
      orgsynth_set_tempo_factor(song.get(), factor);
      const orgsynth_info info = InfoOf(song.get());
      const int64_t integral = std::fmod(info.step_ms * rate / 1000.0 / factor, 1.0) == 0 ? 0 : 1;
      SCOPED_TRACE(testing::Message() << rate << " Hz, tempo " << factor);
      EXPECT_EQ(orgsynth_get_loop_pass(song.get()), 0);
      int seen = 0;
      const size_t block = 3000;
      while (seen < 3) {
        const int pass = orgsynth_get_loop_pass(song.get());
        const int64_t next = orgsynth_next_loop_frame(song.get());
        const int64_t want =
            static_cast<int64_t>(info.loop_start_frame + (pass + 1) * info.loop_frames);
        ASSERT_LE(std::llabs(next - want), integral) << "pass " << pass + 1;
        const int64_t at = static_cast<int64_t>(orgsynth_position(song.get()));
        ASSERT_GE(next, at);
        if (next >= at + static_cast<int64_t>(block)) {
          Render(song.get(), block);
          ASSERT_EQ(orgsynth_get_loop_pass(song.get()), pass);
          continue;
        }
        // Up to the pass's first frame: not yet come round; one frame more: come round.
        Render(song.get(), static_cast<size_t>(next - at));
        EXPECT_EQ(orgsynth_get_loop_pass(song.get()), pass);
        EXPECT_EQ(orgsynth_next_loop_frame(song.get()), next);
        Render(song.get(), 1);
        EXPECT_EQ(orgsynth_get_loop_pass(song.get()), pass + 1);
        ++seen;
      }
    }
  }
  // A song that ends: no loop start after its last pass, and no count for the end itself.
  Song song = Open("Jacques");
  orgsynth_set_repeat_count(song.get(), 1);
  orgsynth_set_fade(song.get(), 1000);
  const orgsynth_info info = InfoOf(song.get());
  orgsynth_seek(song.get(), info.loop_end_frame + 10);
  EXPECT_EQ(orgsynth_get_loop_pass(song.get()), 1);
  EXPECT_EQ(orgsynth_next_loop_frame(song.get()), -1);
  orgsynth_seek(song.get(), static_cast<uint64_t>(orgsynth_length(song.get())));
  EXPECT_EQ(orgsynth_get_loop_pass(song.get()), 1);
}

TEST(OrgsynthInteractiveTest, SeeksStayExactWithTempoAndTransposition) {
  auto steer = [](orgsynth_song* song) {
    orgsynth_set_tempo_factor(song, 1.37);
    orgsynth_set_transpose(song, -5, 33);
    orgsynth_set_transpose_drums(song, 1);
  };
  Song whole = Open("Sakura");
  steer(whole.get());
  const std::vector<int16_t> from_start = Render(whole.get(), 44100 * 40);
  for (uint64_t frame :
       {uint64_t{0}, uint64_t{12345}, uint64_t{44100 * 17 + 3}, uint64_t{44100 * 31}}) {
    Song song = Open("Sakura");
    steer(song.get());
    Render(song.get(), 44100 * 35);  // a seek backwards
    orgsynth_seek(song.get(), frame);
    ASSERT_EQ(orgsynth_position(song.get()), frame);
    const std::vector<int16_t> got = Render(song.get(), 44100 * 2);
    ASSERT_TRUE(std::equal(got.begin(), got.end(), from_start.begin() + 2 * frame)) << frame;
  }
  // After a change of tempo while playing, a seek places the song as a render from the start at
  // the new tempo would be.
  Song changed = Open("Sakura");
  orgsynth_set_transpose(changed.get(), -5, 33);
  orgsynth_set_transpose_drums(changed.get(), 1);
  Render(changed.get(), 44100 * 3 + 77);
  orgsynth_set_tempo_factor(changed.get(), 1.37);
  Render(changed.get(), 44100);
  orgsynth_seek(changed.get(), 44100 * 20);
  const std::vector<int16_t> got = Render(changed.get(), 44100);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), from_start.begin() + 2 * 44100 * 20));
}

TEST(OrgsynthInteractiveTest, ATempoChangeWhilePlayingKeepsThePartOfTheStepAlreadyHeard) {
  Song song = Open("Joy");
  const orgsynth_info info = InfoOf(song.get());
  orgsynth_playing playing{};
  playing.size = sizeof playing;
  // A quarter into step 10 (after its tick), the rest of it at twice the speed.
  const int64_t step10 = StepFrame(info, 10, 1), step11 = StepFrame(info, 11, 1);
  const int64_t quarter = step10 + (step11 - step10) / 4;
  Render(song.get(), static_cast<size_t>(quarter));
  orgsynth_set_tempo_factor(song.get(), 2.0);
  const int64_t next = quarter + std::llround((step11 - quarter) / 2.0);
  Render(song.get(), static_cast<size_t>(next - quarter));
  orgsynth_get_playing(song.get(), &playing);
  EXPECT_EQ(playing.step, 10);
  Render(song.get(), 1);
  orgsynth_get_playing(song.get(), &playing);
  EXPECT_EQ(playing.step, 11);
}

TEST(OrgsynthInteractiveTest, ValuesOutOfRangeAreRefusedChangingNothing) {
  Song song = Open("Joy");
  EXPECT_EQ(orgsynth_set_tempo_factor(song.get(), 0.2), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_set_tempo_factor(song.get(), 4.01), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_set_tempo_factor(song.get(), std::nan("")), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_get_tempo_factor(song.get()), 1.0);
  EXPECT_EQ(orgsynth_set_tempo_factor(nullptr, 1.0), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_set_transpose(song.get(), 25, 0), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_set_transpose(song.get(), 0, -101), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_set_track_gain(song.get(), 16, 1.0, 0), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_set_track_gain(song.get(), -2, 1.0, 0), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_set_track_gain(song.get(), 0, 1.5, 0), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_set_track_gain(song.get(), 0, std::nan(""), 0),
            ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_play_note(song.get(), 16, 40, 100, 6), -ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_play_note(song.get(), 0, 96, 100, 6), -ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_play_note(song.get(), 0, 40, 255, 6), -ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_play_note(song.get(), 0, 40, 100, 13), -ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_play_note(nullptr, 0, 40, 100, 6), -ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_stop_note(song.get(), ORGSYNTH_NOTE_VOICES), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(orgsynth_get_loop_pass(nullptr), 0);
  EXPECT_EQ(orgsynth_next_loop_frame(nullptr), -1);
  EXPECT_STREQ(orgsynth_error_string(ORGSYNTH_ERROR_NO_VOICE), "every voice for notes is sounding");
  // Nothing of it changed the render.
  Song plain = Open("Joy");
  EXPECT_EQ(Render(song.get(), 44100 * 2), Render(plain.get(), 44100 * 2));
}

}  // namespace
