// What the jukebox says on standard error about its data: one line for each thing that leaves
// its screen empty or silent.
#include "app/data_report.h"

#include <gtest/gtest.h>

#include <cstring>

#include "test_support/scratch_directory.h"

namespace {

using test_support::CurrentDirectoryScope;
using test_support::ScratchDirectory;

std::string Report(const org::MusicPlayer& player, bool device) {
  testing::internal::CaptureStderr();
  app::ReportDataProblems(player, device);
  return testing::internal::GetCapturedStderr();
}

TEST(DataReportTest, EachProblemIsOneLineSayingWhatAndWhere) {
  ScratchDirectory dir;
  CurrentDirectoryScope here(dir.path());
  org::MusicPlayer player;
  EXPECT_EQ(Report(player, false), "jukebox: no sound device: songs will be silent\n");
  std::string said = Report(player, true);
  EXPECT_NE(said.find("jukebox: no waveform bank: looked for Org/Wave100.dat (in " + dir.path()),
            std::string::npos)
      << said;
  dir.WriteFile("Org/Wave100.dat", std::string(25600, '\0'));
  said = Report(player, true);
  EXPECT_NE(said.find("jukebox: no playlist found: looked for Org/music.txt (in " + dir.path()),
            std::string::npos)
      << said;
  dir.WriteFile("Org/music.txt", "");
  dir.WriteFile("Org/there.org", "x");
  player.entry_count = 3;
  std::strcpy(player.paths[0], "Org\\there.org");
  std::strcpy(player.paths[1], "Org\\gone.org");
  std::strcpy(player.titles[1], "GONE");
  EXPECT_EQ(Report(player, true), "jukebox: playlist entry 1 (GONE): cannot open Org/gone.org\n");
}

TEST(DataReportTest, AFolderWithoutSystemSaysItLacksTheFontAndTheBackground) {
  ScratchDirectory dir;
  CurrentDirectoryScope here(dir.path());
  testing::internal::CaptureStderr();
  app::ReportScreenDataProblems();
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said, "jukebox: no font: looked for system/font_01.png (in " + dir.path() +
                      ") and system/letter.bmp; no text shows\n"
                      "jukebox: no background picture: looked for system/jukebg.png (in " +
                      dir.path() + "); the screen stays black\n");
  dir.WriteFile("system/letter.bmp", "BM");   // the older sheet is a font too
  dir.WriteFile("system/JUKEBG.PNG", "png");  // letter case is ignored
  testing::internal::CaptureStderr();
  app::ReportScreenDataProblems();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
