#include "runtime/core/app_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "runtime/core/runtime_state.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/text_encoding.h"
#include "test_support/scratch_directory.h"

namespace {

using runtime::AppLogIndent;
using runtime::AppLogOutdent;
using runtime::AppLogWrite;
using runtime::AppLogWriteFormat;
using test_support::CurrentDirectoryScope;
using test_support::ReadWholeFile;
using test_support::ScratchDirectory;

uint32_t g_fake_ms = 0;
uint32_t FakeClock() { return g_fake_ms; }

// Starts the log the way runtime start-up does, in a scratch directory, on a fake clock.
class AppLogTest : public testing::Test {
 protected:
  void SetUp() override {
    runtime::ResetAppLog();
    runtime::ResetRuntimeState();
    platform::SetClockMsSourceForTesting(&FakeClock);
    g_fake_ms = 5000;
  }
  void TearDown() override {
    platform::SetClockMsSourceForTesting(nullptr);
    runtime::ResetAppLog();
    runtime::ResetRuntimeState();
  }
  // Start-up steps 1 and 2: remember the directory, prepare the log.
  void StartLog() {
    runtime::GetRuntimeState().StartupDirectory = dir_.path();
    CurrentDirectoryScope here(dir_.path());
    runtime::PrepareAppLog();
  }
  std::string Log() const { return ReadWholeFile(dir_.Join("AppLog.txt")); }

  ScratchDirectory dir_;
};

TEST_F(AppLogTest, EachLineHasTheElapsedTimeAndContinuedWritesShareIt) {
  StartLog();
  g_fake_ms = 6532;
  EXPECT_EQ(AppLogWrite(SJIS("ＣＯＭの初期化... ")), -1);
  g_fake_ms = 6600;
  EXPECT_EQ(AppLogWrite(SJIS("成功しました\n")), -1);
  EXPECT_EQ(AppLogWriteFormat("value %d", 42), -1);
  EXPECT_EQ(Log(), std::string("1532:") + SJIS("ＣＯＭの初期化... ") + SJIS("成功しました\n") +
                       "1600:value 42\n");
}

TEST_F(AppLogTest, IndentationAddsTabsAndNeverGoesBelowZero) {
  StartLog();
  AppLogIndent();
  AppLogIndent();
  AppLogWrite("two\n");
  AppLogOutdent();
  AppLogWrite("one\n");
  AppLogOutdent();
  AppLogOutdent();
  EXPECT_EQ(runtime::AppLogTabDepth(), 0);
  AppLogWrite("");  // an empty text leaves the line open
  AppLogWrite("zero\n");
  EXPECT_EQ(Log(), "0:\t\ttwo\n0:\tone\n0:zero\n");
}

TEST_F(AppLogTest, StartUpEmptiesAnOldLog) {
  dir_.WriteFile("AppLog.txt", "old run\n");
  StartLog();
  EXPECT_EQ(Log(), "");
  AppLogWrite("new\n");
  EXPECT_EQ(Log(), "0:new\n");
}

TEST_F(AppLogTest, SwitchedOffNothingIsCreatedOrTouched) {
  runtime::SetAppLogEnabled(0);
  StartLog();
  EXPECT_FALSE(std::filesystem::exists(dir_.Join("AppLog.txt")));
  AppLogIndent();
  EXPECT_EQ(AppLogWrite("x\n"), -1);
  EXPECT_EQ(runtime::AppLogTabDepth(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.Join("AppLog.txt")));

  dir_.WriteFile("AppLog.txt", "kept\n");
  StartLog();
  AppLogWrite("x\n");
  EXPECT_EQ(Log(), "kept\n");
}

TEST_F(AppLogTest, WritesBeforeStartUpAreLost) {
  EXPECT_EQ(AppLogWrite("early\n"), -1);
  StartLog();
  AppLogWrite("late\n");
  EXPECT_EQ(Log(), "0:late\n");
}

TEST_F(AppLogTest, TheLogStaysInTheStartUpDirectoryWhenTheApplicationMoves) {
  StartLog();
  ScratchDirectory elsewhere;
  CurrentDirectoryScope moved(elsewhere.path());
  AppLogWrite("here\n");
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(elsewhere.path()));
  EXPECT_FALSE(std::filesystem::exists(elsewhere.Join("AppLog.txt")));
  EXPECT_EQ(Log(), "0:here\n");
}

TEST_F(AppLogTest, SwitchedOnOnlyAfterStartUpShowsTheRawClock) {
  runtime::SetAppLogEnabled(0);
  StartLog();
  runtime::SetAppLogEnabled(1);
  g_fake_ms = 7777;
  AppLogWrite("raw\n");
  EXPECT_EQ(Log(), "7777:raw\n");
}

TEST_F(AppLogTest, AnUnwritableLogDropsWritesAndFreezesTheDepth) {
  StartLog();
  AppLogIndent();
  AppLogWrite("open ");
  // Make the file impossible to open: a directory in its place.
  std::filesystem::remove(dir_.Join("AppLog.txt"));
  std::filesystem::create_directory(dir_.Join("AppLog.txt"));
  AppLogWrite("lost\n");
  AppLogIndent();
  EXPECT_EQ(runtime::AppLogTabDepth(), 1);
  std::filesystem::remove(dir_.Join("AppLog.txt"));
  AppLogWrite("continued\n");  // the line was still open: no prefix
  EXPECT_EQ(Log(), "continued\n");
}

TEST_F(AppLogTest, OverlongFormattedTextIsCutAndStillEndsTheLine) {
  StartLog();
  const std::string long_text(2000, 'a');
  AppLogWriteFormat("%s", long_text.c_str());
  const std::string log = Log();
  EXPECT_EQ(log.size(), 2 + 1022 + 1u);
  EXPECT_EQ(log.back(), '\n');
}

}  // namespace
