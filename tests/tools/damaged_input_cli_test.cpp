// org2wav and orgplay given damaged input: a missing, empty, foreign, truncated or oversized song,
// a folder where a file should be, a song whose step is 0 ms, a missing waveform bank. Each must
// end with exit code 1 and one line saying what is wrong, never with a crash or a hang. Missing
// drums are only warnings: the song plays without them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "org/org_format.h"
#include "test_support/program_run.h"
#include "test_support/scratch_directory.h"

namespace {

using test_support::ProgramRun;

const std::string kSong = PROJECT_SOURCE_DIR "/data/Org/Twinkle.org";

struct Tool {
  std::string name;
  std::string path;
  std::string options;  // orgplay stops by itself after a moment
};

const Tool kTools[] = {{"org2wav", ORG2WAV_PATH, "-q"}, {"orgplay", ORGPLAY_PATH, "--seconds 0.3"}};

ProgramRun RunTool(const Tool& tool, const std::string& song, const std::string& more = "") {
  const std::string output = tool.name == "org2wav" ? " /dev/null" : "";
  return test_support::RunProgram(tool.path, tool.options + " " + more + " " + song + output);
}

// A damaged song file's bytes, each made from the demo song.
std::vector<std::pair<std::string, std::string>> DamagedSongs() {
  const std::string song = test_support::ReadWholeFile(kSong);
  std::string oversized = song;
  oversized[18 + 4] = static_cast<char>(0x88);  // track 0's note count: 0x1388 = 5000 > 4096
  oversized[18 + 5] = 0x13;
  std::string no_step = song;
  no_step[6] = no_step[7] = 0;  // wait: 0 ms per step
  return {{"empty.org", ""},
          {"text.org", "this is not a song\n"},
          {"header_only.org", song.substr(0, 6)},
          {"truncated.org", song.substr(0, song.size() / 2)},
          {"oversized.org", oversized},
          {"no_step.org", no_step}};
}

void ExpectOneLineFailure(const Tool& tool, const ProgramRun& run, const std::string& what) {
  EXPECT_EQ(run.status, 1) << tool.name << " on " << what << ":\n" << run.output;
  EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1)
      << tool.name << " on " << what << ":\n"
      << run.output;
  EXPECT_EQ(run.output.rfind(tool.name + ": ", 0), 0u) << run.output;
}

TEST(DamagedInputCliTest, DamagedSongsFailWithOneLine) {
  test_support::ScratchDirectory dir;
  for (const auto& [name, bytes] : DamagedSongs()) {
    dir.WriteFile(name, bytes);
    for (const Tool& tool : kTools) ExpectOneLineFailure(tool, RunTool(tool, dir.Join(name)), name);
  }
}

TEST(DamagedInputCliTest, MissingFilesAndFoldersFailWithOneLine) {
  test_support::ScratchDirectory dir;
  std::filesystem::create_directories(dir.Join("folder.org"));
  for (const Tool& tool : kTools) {
    ExpectOneLineFailure(tool, RunTool(tool, dir.Join("missing.org")), "a missing song");
    ExpectOneLineFailure(tool, RunTool(tool, dir.Join("folder.org")), "a folder as the song");
    ExpectOneLineFailure(tool, RunTool(tool, kSong, "--bank " + dir.Join("missing.dat")),
                         "a missing bank");
    ExpectOneLineFailure(tool, RunTool(tool, kSong, "--bank " + dir.Join("folder.org")),
                         "a folder as the bank");
  }
}

TEST(DamagedInputCliTest, ASongWithoutDrumsBesideItPlaysWithTheShippedOnes) {
  test_support::ScratchDirectory dir;
  std::filesystem::copy_file(kSong, dir.Join("song.org"));
  for (const Tool& tool : kTools) {
    const ProgramRun run = RunTool(tool, dir.Join("song.org"));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(tool.name + ": no drums beside the song; using the shipped drums"),
              std::string::npos)
        << run.output;
  }
}

}  // namespace
