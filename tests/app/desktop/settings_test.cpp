// What the jukebox remembers: read back as written, and defaults for anything damaged.
#include "app/desktop/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "test_support/scratch_directory.h"

namespace {

TEST(SettingsTest, WhatIsWrittenIsReadBack) {
  test_support::ScratchDirectory dir;
  const std::string path = dir.Join("deep/folder/settings.ini");
  app::Settings settings;
  settings.scale = 3;
  settings.fullscreen = true;
  settings.volume_step = 5;
  settings.fade_to_silence = true;
  ASSERT_TRUE(app::SaveSettings(path, settings));
  const app::Settings read = app::LoadSettings(path);
  EXPECT_EQ(read.scale, 3);
  EXPECT_TRUE(read.fullscreen);
  EXPECT_EQ(read.volume_step, 5);
  EXPECT_TRUE(read.fade_to_silence);
}

TEST(SettingsTest, DamagedOrForeignTextGivesTheDefaultsValueByValue) {
  const app::Settings defaults;
  for (const char* text :
       {"", "\x89PNG\r\n\x1a\n", "scale=0\nfullscreen=2\nvolume_step=17\n", "scale=-1",
        "scale=99999999999999999999", "scale=2.5", "scale=0x2", "=\n==\nscale\n", "volume_step=+3",
        "fade_to_silence=2", "fade_to_silence=yes"}) {
    const app::Settings read = app::ParseSettings(text);
    EXPECT_EQ(read.scale, defaults.scale) << text;
    EXPECT_EQ(read.fullscreen, defaults.fullscreen) << text;
    EXPECT_EQ(read.volume_step, defaults.volume_step) << text;
    EXPECT_FALSE(read.fade_to_silence) << text;
  }
  // Good lines count among bad ones, with spaces around.
  const app::Settings mixed = app::ParseSettings("junk\n scale = 4 \r\nfullscreen=1\nbad=1\n");
  EXPECT_EQ(mixed.scale, 4);
  EXPECT_TRUE(mixed.fullscreen);
  EXPECT_EQ(app::LoadSettings("/no/such/settings.ini").scale, 1);
  // What falls is said, with the default that stands; the rest stands.
  std::vector<std::string> problems;
  const app::Settings some =
      app::ParseSettings("scale=0\nvolume_step=4\nfade_to_silence=x\n", &problems);
  EXPECT_EQ(some.volume_step, 4);
  EXPECT_EQ(problems, (std::vector<std::string>{"scale=0 is not a scale from 1 to 16: 1 stands",
                                                "fade_to_silence=x is not 0 or 1: 0 stands"}));
}

TEST(SettingsTest, LinesNotUnderstoodAreKeptWhenTheFileIsRewritten) {
  test_support::ScratchDirectory dir;
  const std::string path = dir.Join("settings.ini");
  const std::string long_line = "notes=" + std::string(70000, 'n');  // past 64 KiB
  dir.WriteFile("settings.ini", "# my own note\nscale=2\ncolour=blue\n" + long_line +
                                    "\nno equals sign\nvolume_step=99\n");
  app::Settings settings = app::LoadSettings(path);
  EXPECT_EQ(settings.scale, 2);
  settings.scale = 5;
  ASSERT_TRUE(app::SaveSettings(path, settings));
  const std::string written = test_support::ReadWholeFile(path);
  for (const std::string& kept : {std::string("# my own note\n"), std::string("colour=blue\n"),
                                  long_line + "\n", std::string("no equals sign\n")})
    EXPECT_NE(written.find(kept), std::string::npos) << kept.substr(0, 40);
  EXPECT_NE(written.find("scale=5\n"), std::string::npos);
  EXPECT_EQ(written.find("volume_step=99"), std::string::npos);  // ours, out of range: replaced
  // Written again, nothing grows: our own header is not kept as a foreign line.
  ASSERT_TRUE(app::SaveSettings(path, app::LoadSettings(path)));
  EXPECT_EQ(test_support::ReadWholeFile(path), written);
}

TEST(SettingsTest, ValuesShownInProblemsAreEscapedAndCut) {
  std::vector<std::string> problems;
  const std::string text = std::string("scale=1\0x\n", 10) +
                           "fullscreen=\x1b]0;title\x07\nvolume_step=" + std::string(70000, '9') +
                           "\n";
  app::ParseSettings(text, &problems);
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_EQ(problems[0], "scale=1\\x00x is not a scale from 1 to 16: 1 stands");
  EXPECT_EQ(problems[1], "fullscreen=\\x1B]0;title\\x07 is not 0 or 1: 0 stands");
  EXPECT_EQ(problems[2], "volume_step=" + std::string(64, '9') +
                             "... (70000 bytes) is not a step from 0 to 16: 0 (0 dB) stands");
}

TEST(SettingsTest, AFifoOrAnOversizedFileIsNeitherWaitedOnNorReplaced) {
  test_support::ScratchDirectory dir;
  const std::string fifo = dir.Join("fifo.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const app::Settings from_fifo = app::LoadSettings(fifo);  // no writer: open() would block
  EXPECT_EQ(from_fifo.scale, 1);
  std::string why;
  EXPECT_FALSE(app::SaveSettings(fifo, from_fifo, &why));
  EXPECT_EQ(why, "it is not a regular file");
  struct stat info {};
  ASSERT_EQ(stat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));

  const std::string big = dir.Join("big.ini");
  dir.WriteFile("big.ini", "scale=3\n");
  ASSERT_EQ(truncate(big.c_str(), app::kMaxSettingsBytes + 100), 0);
  const app::Settings from_big = app::LoadSettings(big);
  EXPECT_EQ(from_big.scale, 3);
  EXPECT_FALSE(app::SaveSettings(big, from_big, &why));
  EXPECT_EQ(std::filesystem::file_size(big), app::kMaxSettingsBytes + 100);
}

TEST(SettingsTest, TheFileLivesUnderTheUsersConfigFolder) {
  setenv("XDG_CONFIG_HOME", "/custom/config", 1);
  EXPECT_EQ(app::SettingsPath(), "/custom/config/orvalinde-jukebox/settings.ini");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/listener", 1);
  EXPECT_EQ(app::SettingsPath(), "/home/listener/.config/orvalinde-jukebox/settings.ini");
}

}  // namespace
