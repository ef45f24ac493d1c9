// Which folder the jukebox takes for the game's data: only one that holds the game's data (its
// waveform bank, in any letter case), whatever characters its name has; not one that merely has
// an Org folder of songs.
#include "app/desktop/data_folder.h"

#include <gtest/gtest.h>

#include "test_support/scratch_directory.h"

namespace {

TEST(DataFolderTest, OnlyAFolderHoldingTheBankIsAGameFolder) {
  test_support::ScratchDirectory dir;
  dir.WriteFile("music/Org/Joy.org", "Org-02");
  dir.WriteFile("music/Org/Sakura.org", "Org-02");
  EXPECT_FALSE(app::IsGameFolder(dir.Join("music")));  // songs only: not the game's data
  dir.WriteFile("game/org/wave100.dat", std::string(25600, '\0'));
  EXPECT_TRUE(app::IsGameFolder(dir.Join("game")));  // any letter case
  dir.WriteFile("Mes jeux é/Org/Wave100.dat", std::string(25600, '\0'));
  EXPECT_TRUE(app::IsGameFolder(dir.Join("Mes jeux é")));
  dir.WriteFile("folder/Org/Wave100.dat/x", "");  // a folder by that name is no bank
  EXPECT_FALSE(app::IsGameFolder(dir.Join("folder")));
  EXPECT_FALSE(app::IsGameFolder(""));
}

}  // namespace
