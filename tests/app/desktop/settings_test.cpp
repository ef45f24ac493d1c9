// What the jukebox remembers: read back as written, and defaults for anything damaged.
#include "app/desktop/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "test_support/scratch_directory.h"

namespace {

TEST(SettingsTest, WhatIsWrittenIsReadBack) {
  test_support::ScratchDirectory dir;
  const std::string path = dir.Join("deep/folder/settings.ini");
  const app::Settings settings{3, true, 5, true};
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

TEST(SettingsTest, TheFileLivesUnderTheUsersConfigFolder) {
  setenv("XDG_CONFIG_HOME", "/custom/config", 1);
  EXPECT_EQ(app::SettingsPath(), "/custom/config/orvalinde-jukebox/settings.ini");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/listener", 1);
  EXPECT_EQ(app::SettingsPath(), "/home/listener/.config/orvalinde-jukebox/settings.ini");
}

}  // namespace
