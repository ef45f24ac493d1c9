// The jukebox's ways out while a song plays: a fatal runtime error ends the process with -1 after
// the music's timer and voices have been let go (the sanitizer builds would report a tick or a
// destructor touching the closed sound device's buffers).
#include <gtest/gtest.h>

#include "test_support/program_run.h"

namespace {

TEST(ExitPathsTest, AFatalErrorWhileASongPlaysExitsMinusOneCleanly) {
  const test_support::ProgramRun run = test_support::RunProgram(
      FATAL_EXIT_HELPER_PATH, std::string("'") + PROJECT_SOURCE_DIR + "/data'");
  EXPECT_EQ(run.status, 255) << run.output;
  EXPECT_EQ(run.output.find("Sanitizer"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("runtime error"), std::string::npos) << run.output;
}

}  // namespace

namespace {

// A newcomer on a server without a desktop runs the jukebox: the display refusal, not a window
// nobody can see. (The offscreen and dummy video drivers are for tests that ask for them.)
TEST(ExitPathsTest, WithoutADisplayItSaysSoAndExitsMinusOne) {
  const test_support::ProgramRun run =
      test_support::RunProgram("cd '" + std::string(PROJECT_SOURCE_DIR) +
                                   "/data' && env -u DISPLAY -u WAYLAND_DISPLAY "
                                   "-u SDL_VIDEODRIVER XDG_RUNTIME_DIR=/nonexistent timeout 20",
                               JUKEBOX_PATH);
  EXPECT_EQ(run.status, 255) << run.output;
  EXPECT_NE(run.output.find("エラー: DirectX がインストールされていないのでここで終了します"),
            std::string::npos)
      << run.output;
}

}  // namespace
