// The desktop player's own files on Windows (built and run under Wine only): songs found under
// a folder named with characters outside the ANSI code page, and the settings saved under
// %APPDATA% and read back.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "app/desktop/settings.h"
#include "app/desktop/user_songs.h"
#include "runtime/platform/native_file.h"
#include "runtime/platform/wide_text.h"
#include "test_support/scratch_directory.h"

namespace {

const std::string kOutsideCp932 = "\xEB\x85\xB8\xEB\x9E\x98 \xE2\x99\xAB";

std::string DemoSong() { return PROJECT_SOURCE_DIR "/data/Org/Joy.org"; }

TEST(WindowsDesktopTest, SongsUnderAFolderOfAnyNameAreFound) {
  test_support::ScratchDirectory scratch;
  const std::string folder = scratch.path() + "/" + kOutsideCp932;
  std::filesystem::create_directory(platform::NativePath(folder));
  std::filesystem::copy_file(DemoSong(),
                             platform::NativePath(folder + "/Joy " + kOutsideCp932 + ".org"));
  // The folder as given, and the song itself.
  for (const std::string& source : {folder, folder + "/Joy " + kOutsideCp932 + ".org"}) {
    const app::CollectedSongs collected = app::CollectSongs({source});
    EXPECT_TRUE(collected.problems.empty()) << collected.problems[0];
    ASSERT_EQ(collected.songs.size(), 1u);
    EXPECT_EQ(collected.songs[0].title_utf8, "Joy " + kOutsideCp932);
    EXPECT_NE(collected.songs[0].file.find(kOutsideCp932), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_regular_file(platform::NativePath(collected.songs[0].file)));
  }
}

TEST(WindowsDesktopTest, SettingsAreSavedUnderAppDataAndReadBack) {
  test_support::ScratchDirectory scratch;
  const std::string roaming = scratch.path() + "/" + kOutsideCp932;
  const wchar_t* saved = _wgetenv(L"APPDATA");
  const std::wstring restore = saved ? saved : L"";
  _wputenv_s(L"APPDATA", platform::WideFromUtf8(roaming).c_str());
  const std::string path = app::SettingsPath();
  EXPECT_EQ(path.rfind(roaming + "/", 0), 0u) << path;
  app::Settings settings;
  settings.scale = 3;
  settings.volume_step = 4;
  std::string why;
  EXPECT_TRUE(app::SaveSettings(path, settings, &why)) << why;
  EXPECT_TRUE(std::filesystem::is_regular_file(platform::NativePath(path)));
  const app::Settings loaded = app::LoadSettings(path);
  EXPECT_EQ(loaded.scale, 3);
  EXPECT_EQ(loaded.volume_step, 4);
  // Saved again over the first file (replaced in one step).
  settings.scale = 2;
  EXPECT_TRUE(app::SaveSettings(path, settings, &why)) << why;
  EXPECT_EQ(app::LoadSettings(path).scale, 2);
  _wputenv_s(L"APPDATA", restore.c_str());
}

}  // namespace
