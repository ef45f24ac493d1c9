// The org2wav program as a user runs it: exit codes, messages, output files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "org/org_format.h"
#include "test_support/program_run.h"
#include "test_support/scratch_directory.h"

namespace {

using test_support::ProgramRun;

ProgramRun Org2wav(const std::string& arguments) {
  return test_support::RunProgram(ORG2WAV_PATH, arguments);
}

const std::string kSong = PROJECT_SOURCE_DIR "/data/Org/Twinkle.org";

TEST(Org2wavCliTest, RendersAWholeSongToAWavFile) {
  test_support::ScratchDirectory dir;
  const ProgramRun run = Org2wav("-q --loops 1 --rate 22050 " + kSong + " " + dir.Join("out.wav"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "");
  const std::string wav = test_support::ReadWholeFile(dir.Join("out.wav"));
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(wav.substr(8, 4), "WAVE");
  // Intro and one loop of 608 steps at 110 ms, plus the step after the last: 609 × 110 ms.
  EXPECT_EQ((wav.size() - 44) / 4, static_cast<size_t>(std::llround(609 * 110 * 22050 / 1000.0)));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(Org2wavCliTest, BadUsageExitsWithTwo) {
  EXPECT_EQ(Org2wav("").status, 2);
  EXPECT_EQ(Org2wav("--loops 0 a.org b.wav").status, 2);
  EXPECT_EQ(Org2wav("--interp cubic a.org b.wav").status, 2);
  EXPECT_EQ(Org2wav("--mute 16 a.org b.wav").status, 2);
  EXPECT_EQ(Org2wav("--frobnicate a.org b.wav").status, 2);
  EXPECT_EQ(Org2wav("--help").status, 0);
}

TEST(Org2wavCliTest, AFileThatIsNotASongFailsWithOneLineNamingIt) {
  test_support::ScratchDirectory dir;
  dir.WriteFile("bad.org", "this is not a song");
  ProgramRun run = Org2wav(dir.Join("bad.org") + " " + dir.Join("out.wav"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "org2wav: " + dir.Join("bad.org") + ": not an Org song\n");
  run = Org2wav(dir.Join("missing.org") + " " + dir.Join("out.wav"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("missing.org"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.Join("out.wav")));
}

TEST(Org2wavCliTest, AFailedWriteLeavesNoHalfFile) {
  test_support::ScratchDirectory dir;
  const ProgramRun run = Org2wav("-q " + kSong + " " + dir.Join("no/such/folder/out.wav"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0);
}

TEST(Org2wavCliTest, MissingDrumsAreWarningsAndTheRenderGoesOn) {
  test_support::ScratchDirectory dir;
  std::filesystem::copy_file(kSong, dir.Join("song.org"));
  // An empty drum folder named on purpose: nothing stands in for it.
  std::filesystem::create_directory(dir.Join("kit"));
  const ProgramRun run = Org2wav("-q --seconds 1 --drums " + dir.Join("kit") + " " +
                                 dir.Join("song.org") + " " + dir.Join("out.wav"));
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("org2wav: warning: drum file not found: " + dir.Join("kit/")),
            std::string::npos)
      << run.output;
  EXPECT_TRUE(std::filesystem::exists(dir.Join("out.wav")));
}

TEST(Org2wavCliTest, InfoDescribesTheSong) {
  ProgramRun run = Org2wav("--info " + kSong);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("wait       110 ms per step"), std::string::npos);
  run = Org2wav("--info --json " + kSong);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output.rfind("{\"version\": 2, \"wait_ms\": 110", 0), 0u);
}

TEST(Org2wavCliTest, InfoGivesTheLengthOfTheRenderAsAskedAndTheFirstStepsLead) {
  test_support::ScratchDirectory dir;
  const ProgramRun info = Org2wav("--info --loops 1 --fade 2 " + kSong);
  const size_t at = info.output.find("render     ");
  ASSERT_NE(at, std::string::npos) << info.output;
  const double seconds = std::stod(info.output.substr(at + 11));
  EXPECT_NE(info.output.find("first step 110 ms in"), std::string::npos) << info.output;
  ASSERT_EQ(Org2wav("-q --loops 1 --fade 2 " + kSong + " " + dir.Join("x.wav")).status, 0);
  const auto frames = (std::filesystem::file_size(dir.Join("x.wav")) - 44) / 4;
  EXPECT_NEAR(seconds, static_cast<double>(frames) / 44100, 0.005);
}

TEST(Org2wavCliTest, StemsGiveOneFilePerTrackWithEvents) {
  test_support::ScratchDirectory dir;
  const ProgramRun run = Org2wav("-q --seconds 0.5 --stems " + dir.Join("stems") + " " + kSong +
                                 " " + dir.Join("mix.wav"));
  EXPECT_EQ(run.status, 0) << run.output;
  // Twinkle has three melody tracks and four drum tracks.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Join("stems")), {}), 7);
  EXPECT_TRUE(std::filesystem::exists(dir.Join("stems/track_08.wav")));
}

}  // namespace

namespace {

// A song of `wait` ms steps, its loop from `start` to `end`, track 0 playing notes at `steps`.
std::string SongBytes(int wait, int start, int end, const std::vector<int32_t>& steps = {0, 1, 2}) {
  org::ParsedSong song;
  song.version = 2;
  song.wait = static_cast<uint16_t>(wait);
  song.loop_start = start;
  song.loop_end = end;
  for (int32_t step : steps) song.tracks[0].events.push_back({step, 48, 1, 200, 6});
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  return std::string(bytes.begin(), bytes.end());
}

std::string LineOf(const std::string& output, const std::string& start) {
  const size_t at = output.find("\n" + start);
  return at == std::string::npos ? "" : output.substr(at + 1, output.find('\n', at + 1) - at - 1);
}

TEST(Org2wavCliTest, SecondsAfterStartIsALengthAndAnEmptyRenderIsRefused) {
  test_support::ScratchDirectory dir;
  dir.WriteFile("s.org", SongBytes(100, 0, 32));
  const auto frames_of = [&](const std::string& options) {
    const ProgramRun run =
        Org2wav("-q --rate 8000 " + options + " " + dir.Join("s.org") + " " + dir.Join("o.wav"));
    EXPECT_EQ(run.status, 0) << options << ": " << run.output;
    return (std::filesystem::file_size(dir.Join("o.wav")) - 44) / 4;
  };
  EXPECT_EQ(frames_of("--start 1 --seconds 1.5"), 12000u);
  EXPECT_EQ(frames_of("--start 2 --seconds 1"), 8000u);
  EXPECT_EQ(frames_of("--start 0.5 --seconds 1 --fade 0.25"), 10000u);  // the fade follows
  std::filesystem::remove(dir.Join("o.wav"));
  ProgramRun run = Org2wav("-q --start 100 " + dir.Join("s.org") + " " + dir.Join("o.wav"));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.output,
            "org2wav: nothing to render: --start 100.00 s is at or past the render's end "
            "(6.50 s)\n");
  run = Org2wav("-q --seconds 0 " + dir.Join("s.org") + " " + dir.Join("o.wav"));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.output, "org2wav: --seconds 0 renders nothing\n");
  EXPECT_FALSE(std::filesystem::exists(dir.Join("o.wav")));
}

TEST(Org2wavCliTest, InfoSaysWhatItsFiguresMeanInsteadOfImpossibleOnes) {
  test_support::ScratchDirectory dir;
  dir.WriteFile("long_steps.org", SongBytes(65535, 40000, 40001));
  dir.WriteFile("backwards.org", SongBytes(100, 8, 2));
  dir.WriteFile("before_zero.org", SongBytes(100, -4, 8));
  dir.WriteFile("plain.org", SongBytes(100, 0, 32));
  // 40000 steps of 65535 ms: 2,621,400 s, far past what 32-bit milliseconds hold.
  ProgramRun run = Org2wav("--info --seconds 1 " + dir.Join("long_steps.org"));
  EXPECT_EQ(LineOf(run.output, "intro"), "intro      2621400.00 s after a lead of 65.53 s")
      << run.output;
  run = Org2wav("--info " + dir.Join("backwards.org"));
  EXPECT_NE(LineOf(run.output, "loop time")
                .find("(the loop ends at or before its start: step 8 repeats alone)"),
            std::string::npos)
      << run.output;
  for (const char* song : {"backwards.org", "before_zero.org"}) {
    run = Org2wav("--info " + dir.Join(song));
    for (const std::string& line : {LineOf(run.output, "intro"), LineOf(run.output, "loop time")})
      EXPECT_EQ(line.find('-'), std::string::npos) << song << ": " << line;
  }
  EXPECT_NE(LineOf(run.output, "intro").find("(the loop starts before step 0"), std::string::npos);
  // Audible but shorter than one measuring block; silent; measured.
  run = Org2wav("--info --seconds 0.3 " + dir.Join("plain.org"));
  EXPECT_EQ(LineOf(run.output, "loudness"),
            "loudness   not measured: the render is too short (under 0.4 s)");
  EXPECT_NE(LineOf(run.output, "true peak").find(" dBTP"), std::string::npos);
  run = Org2wav("--info --mute 0 " + dir.Join("plain.org"));
  EXPECT_EQ(LineOf(run.output, "loudness"), "loudness   none: the render is silent");
  EXPECT_EQ(LineOf(run.output, "true peak"), "true peak  none");
  run = Org2wav("--info --json --mute 0 " + dir.Join("plain.org"));
  EXPECT_NE(run.output.find("\"loudness_lufs\": null, \"loudness_range_lu\": null, "
                            "\"true_peak_dbtp\": null"),
            std::string::npos)
      << run.output;
  run = Org2wav("--info " + dir.Join("plain.org"));
  EXPECT_NE(LineOf(run.output, "loudness").find(" LUFS integrated"), std::string::npos);
}

TEST(Org2wavCliTest, EventsOutOfStepOrderAreSaidByInfoAndByARender) {
  test_support::ScratchDirectory dir;
  dir.WriteFile("disorder.org", SongBytes(100, 0, 16, {4, 2, 6, 6}));
  ProgramRun run = Org2wav("--info " + dir.Join("disorder.org"));
  EXPECT_NE(LineOf(run.output, "track  0").find("4 events, 2 out of step order"), std::string::npos)
      << run.output;
  EXPECT_NE(LineOf(run.output, "note").find("track 0: events out of step order"), std::string::npos)
      << run.output;
  run = Org2wav("--info --json " + dir.Join("disorder.org"));
  EXPECT_NE(run.output.find("\"events\": 4, \"out_of_order\": 2}"), std::string::npos);
  run = Org2wav("-q --seconds 0.5 " + dir.Join("disorder.org") + " " + dir.Join("o.wav"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output.rfind("org2wav: note: " + dir.Join("disorder.org") + ": track 0: events", 0),
            0u)
      << run.output;
  // A song in order says nothing of it.
  dir.WriteFile("order.org", SongBytes(100, 0, 16));
  EXPECT_EQ(Org2wav("--info " + dir.Join("order.org")).output.find("out of step order"),
            std::string::npos);
}

TEST(Org2wavCliTest, InfoOfASongOfWeeksMeasuresItsFirstTenMinutes) {
  test_support::ScratchDirectory dir;
  // 20,000 steps of 65535 ms a pass: two passes last more than a month.
  dir.WriteFile("weeks.org", SongBytes(65535, 0, 20000));
  const ProgramRun run = Org2wav("--info --rate 8000 " + dir.Join("weeks.org"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(LineOf(run.output, "loudness").find("(its first 10 min)"), std::string::npos)
      << run.output;
  // Two passes and the step after the last: 40,001 steps of 65.535 s.
  EXPECT_EQ(LineOf(run.output, "render").rfind("render     2621465.54 s", 0), 0u) << run.output;
}

}  // namespace
