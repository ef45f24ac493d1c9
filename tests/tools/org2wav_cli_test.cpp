// The org2wav program as a user runs it: exit codes, messages, output files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

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
