// The tools' outputs as a user meets them: nothing an input, a link, a FIFO or a device was is
// ever lost or replaced, files get the user's usual mode, signals leave no partial file, a render
// too long for a WAV file is refused up front, and every failure says why.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "test_support/program_run.h"
#include "test_support/scratch_directory.h"

extern char** environ;

namespace {

using test_support::ProgramRun;
using test_support::ScratchDirectory;
namespace fs = std::filesystem;

const std::string kSong = PROJECT_SOURCE_DIR "/data/Org/Twinkle.org";

ProgramRun Org2wav(const std::string& arguments) {
  return test_support::RunProgram(ORG2WAV_PATH, arguments);
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

int CountEntries(const std::string& folder) {
  return static_cast<int>(std::distance(fs::directory_iterator(folder), {}));
}

bool HasPartialFile(const std::string& folder) {
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().find(".partial-") != std::string::npos) return true;
  return false;
}

TEST(SafeOutputCliTest, AnOutputThatIsAnInputIsRefusedBeforeAnyWork) {
  ScratchDirectory dir;
  fs::copy_file(kSong, dir.Join("x.org"));
  const std::string before = test_support::ReadWholeFile(dir.Join("x.org"));
  ProgramRun run = Org2wav("-q --seconds 1 " + dir.Join("x.org") + " " + dir.Join("x.org"));
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("refusing to overwrite"), std::string::npos) << run.output;
  // The same file under another name (a hard link) is the same input.
  ASSERT_EQ(link(dir.Join("x.org").c_str(), dir.Join("also.wav").c_str()), 0);
  run = Org2wav("-q --seconds 1 " + dir.Join("x.org") + " " + dir.Join("also.wav"));
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_EQ(test_support::ReadWholeFile(dir.Join("x.org")), before);
  // songc and its score.
  dir.WriteFile("s.score", "track 0\nC4\n");
  run = test_support::RunProgram(SONGC_PATH, dir.Join("s.score") + " " + dir.Join("s.score"));
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_EQ(test_support::ReadWholeFile(dir.Join("s.score")), "track 0\nC4\n");
  EXPECT_EQ(CountEntries(dir.path()), 3);
}

TEST(SafeOutputCliTest, ALinkIsFollowedAndADeviceOrStreamIsWrittenDirectly) {
  ScratchDirectory dir;
  ASSERT_EQ(Org2wav("-q --seconds 1 " + kSong + " " + dir.Join("plain.wav")).status, 0);
  const std::string plain = test_support::ReadWholeFile(dir.Join("plain.wav"));
  // A symbolic link: its target gets the file, the link stays a link.
  ASSERT_EQ(symlink("target.wav", dir.Join("link.wav").c_str()), 0);
  ProgramRun run = Org2wav("-q --seconds 1 " + kSong + " " + dir.Join("link.wav"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(fs::is_symlink(dir.Join("link.wav")));
  EXPECT_EQ(test_support::ReadWholeFile(dir.Join("target.wav")), plain);
  // A link to a character device: written through, the device and the link stay as they were.
  ASSERT_EQ(symlink("/dev/null", dir.Join("null.wav").c_str()), 0);
  run = Org2wav("-q --seconds 1 " + kSong + " " + dir.Join("null.wav"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(fs::is_symlink(dir.Join("null.wav")));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  // A FIFO: its reader gets the whole file, header exact, and no temporary file is left.
  ASSERT_EQ(mkfifo(dir.Join("pipe.wav").c_str(), 0600), 0);
  std::string through_pipe;
  std::thread reader([&] { through_pipe = test_support::ReadWholeFile(dir.Join("pipe.wav")); });
  run = Org2wav("-q --seconds 1 " + kSong + " " + dir.Join("pipe.wav"));
  reader.join();
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(through_pipe, plain);
  EXPECT_TRUE(fs::is_fifo(dir.Join("pipe.wav")));
  // "-": standard output.
  run = Org2wav("-q --seconds 1 " + kSong + " - > " + dir.Join("stdout.wav"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(test_support::ReadWholeFile(dir.Join("stdout.wav")), plain);
  EXPECT_FALSE(HasPartialFile(dir.path()));
}

TEST(SafeOutputCliTest, FilesGetTheModeTheUmaskGivesANewFile) {
  ScratchDirectory dir;
  for (const auto& [mask, mode] : {std::pair{"022", 0644}, std::pair{"077", 0600}}) {
    const std::string out = dir.Join(std::string("mode") + mask + ".wav");
    const ProgramRun run =
        test_support::RunProgram(std::string("umask ") + mask + " && " + ORG2WAV_PATH,
                                 "-q --seconds 1 " + kSong + " " + out);
    ASSERT_EQ(run.status, 0) << run.output;
    struct stat info {};
    ASSERT_EQ(stat(out.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, static_cast<mode_t>(mode)) << "umask " << mask;
  }
  const ProgramRun run = test_support::RunProgram(
      std::string("umask 022 && ") + SONGC_PATH,
      PROJECT_SOURCE_DIR "/tools/songs/6_twinkle.score " + dir.Join("song.org"));
  ASSERT_EQ(run.status, 0) << run.output;
  struct stat info {};
  ASSERT_EQ(stat(dir.Join("song.org").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

// Starts org2wav on a long render into `folder`, waits until its partial file exists, sends
// `signal_number` and returns how the program ended.
int SignalDuringARender(const std::string& folder, int signal_number) {
  // Started through the shell, which execs it: the process signalled is org2wav itself (under
  // its emulator when the tests are cross-built).
  const std::string command = std::string("exec ") + ORG2WAV_PATH +
                              " -q --seconds 36000 --rate 8000 '" + kSong + "' '" + folder +
                              "/long.wav'";
  const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  if (posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char* const*>(argv), environ) != 0)
    return -1;
  posix_spawn_file_actions_destroy(&actions);
  for (int i = 0; i < 500 && !HasPartialFile(folder); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kill(pid, signal_number);
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

TEST(SafeOutputCliTest, AFatalSignalLeavesNoPartialFile) {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1}) {
    ScratchDirectory dir;
    const int status = SignalDuringARender(dir.path(), signal_number);
    EXPECT_TRUE(WIFSIGNALED(status)) << "signal " << signal_number;
    if (WIFSIGNALED(status)) {
      EXPECT_EQ(WTERMSIG(status), signal_number);
    }
    EXPECT_EQ(CountEntries(dir.path()), 0) << "signal " << signal_number;
  }
}

TEST(SafeOutputCliTest, ARenderAWavFileCannotHoldIsRefusedBeforeAnythingIsWritten) {
  ScratchDirectory dir;
  const auto start = std::chrono::steady_clock::now();
  ProgramRun run = Org2wav("-q --loops 1000 " + kSong + " " + dir.Join("huge.wav"));
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("a WAV file holds at most 4 GiB"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("6 h 45 min at 44100 Hz"), std::string::npos) << run.output;
  run = Org2wav("-q --seconds 30000 " + kSong + " " + dir.Join("huge.wav"));
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_EQ(CountEntries(dir.path()), 0);
  // Refused from arithmetic, not after writing gigabytes (which took a minute).
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(SafeOutputCliTest, EveryFailureToWriteSaysWhy) {
  ScratchDirectory dir;
  const struct {
    std::string out;
    const char* reason;
  } cases[] = {
      {dir.Join("no/such/folder/out.wav"), "No such file or directory"},
      {dir.path(), "Is a directory"},
      {"/dev/full", "No space left on device"},
  };
  for (const auto& c : cases) {
    const ProgramRun run = Org2wav("-q --seconds 1 " + kSong + " " + Quoted(c.out));
    EXPECT_EQ(run.status, 1) << c.out;
    EXPECT_NE(run.output.find(c.out + ": " + c.reason), std::string::npos) << run.output;
  }
  if (getuid() != 0) {  // permissions do not hold back root
    fs::create_directory(dir.Join("locked"));
    fs::permissions(dir.Join("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    const ProgramRun run = Org2wav("-q --seconds 1 " + kSong + " " + dir.Join("locked/out.wav"));
    EXPECT_NE(run.output.find("Permission denied"), std::string::npos) << run.output;
    fs::permissions(dir.Join("locked"), fs::perms::owner_all);
  }
  EXPECT_EQ(CountEntries(dir.path()), 0 + (getuid() != 0 ? 1 : 0));
}

TEST(SafeOutputCliTest, AStemsFolderThatCannotTakeFilesFailsBeforeTheMainRender) {
  ScratchDirectory dir;
  dir.WriteFile("plain_file", "x");
  const ProgramRun run = Org2wav("-q --seconds 1 --stems " + dir.Join("plain_file/stems") + " " +
                                 kSong + " " + dir.Join("out.wav"));
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("plain_file/stems"), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists(dir.Join("out.wav")));
}

}  // namespace
