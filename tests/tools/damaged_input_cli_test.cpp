// org2wav and orgplay given damaged input: a missing, empty, foreign, truncated or oversized song,
// a folder where a file should be, a song whose step is 0 ms, a missing waveform bank. Each must
// end with exit code 1 and one line saying what is wrong, never with a crash or a hang. Missing
// drums are only warnings: the song plays without them.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(DamagedInputCliTest, AFifoGivenAsASongIsRefusedAtOnceNotWaitedOn) {
  test_support::ScratchDirectory dir;
  ASSERT_EQ(mkfifo(dir.Join("fifo.org").c_str(), 0600), 0);  // no writer: open() would block
  for (const Tool& tool : kTools) {
    const ProgramRun run = RunTool(tool, dir.Join("fifo.org"));
    ExpectOneLineFailure(tool, run, "a FIFO");
    EXPECT_NE(run.output.find("fifo.org: is a FIFO, not a file"), std::string::npos) << run.output;
  }
  const ProgramRun midi =
      test_support::RunProgram(ORG2MID_PATH, dir.Join("fifo.org") + " " + dir.Join("out.mid"));
  EXPECT_EQ(midi.status, 1);
  EXPECT_EQ(midi.output, "org2mid: " + dir.Join("fifo.org") + ": is a FIFO, not a file\n");
}

TEST(DamagedInputCliTest, APaddedSongIsReadOnlyAsFarAsTheLongestSongGoes) {
  test_support::ScratchDirectory dir;
  // The demo song followed by 300 MB of nothing (sparse: it costs no disk).
  std::filesystem::copy_file(kSong, dir.Join("padded.org"));
  ASSERT_EQ(truncate(dir.Join("padded.org").c_str(), 300 << 20), 0);
  const ProgramRun run = test_support::RunProgram(ORG2WAV_PATH, "--info " + dir.Join("padded.org"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("wait       110 ms per step"), std::string::npos);
  // The largest child of this test's process: reading the whole file took over 500 MB.
  struct rusage usage {};
  ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
  EXPECT_LT(usage.ru_maxrss, 150 * 1024) << "kB";
}

TEST(DamagedInputCliTest, APlaylistsEntriesAreAllTakenAndInvalidShiftJisIsShownEscaped) {
  test_support::ScratchDirectory dir;
  std::string playlist = "0\t60\tOrg\\\x82\x7F\x81.org\tBAD\n";
  for (int i = 0; i < 200; ++i) playlist += "0\t60\tOrg\\gone" + std::to_string(i) + ".org\tX\n";
  dir.WriteFile("list.txt", playlist);
  const ProgramRun run = test_support::RunProgram(
      ORG2WAV_PATH, "-q --out-dir " + dir.Join("out") + " --playlist " + dir.Join("list.txt"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(
      run.output.rfind(
          "org2wav: " + dir.Join("list.txt") + ": Org\\\\x82\\x7F\\x81.org: no such song\n", 0),
      0u)
      << run.output.substr(0, 200);
  // Past the game's 120 entries: every one is looked for.
  EXPECT_NE(run.output.find("Org\\gone199.org: no such song"), std::string::npos);
}

}  // namespace
