// Which folder the jukebox takes for the game's data: only one that holds the game's data (its
// waveform bank, in any letter case), whatever characters its name has; not one that merely has
// an Org folder of songs.
#include <gtest/gtest.h>

#include "runtime/platform/shipped_data.h"
#include "test_support/scratch_directory.h"

namespace {

TEST(DataFolderTest, OnlyAFolderHoldingTheBankIsAGameFolder) {
  test_support::ScratchDirectory dir;
  dir.WriteFile("music/Org/Joy.org", "Org-02");
  dir.WriteFile("music/Org/Sakura.org", "Org-02");
  EXPECT_FALSE(platform::HoldsJukeboxData(dir.Join("music")));  // songs only: not the game's data
  dir.WriteFile("game/org/wave100.dat", std::string(25600, '\0'));
  EXPECT_TRUE(platform::HoldsJukeboxData(dir.Join("game")));  // any letter case
  dir.WriteFile("Mes jeux é/Org/Wave100.dat", std::string(25600, '\0'));
  EXPECT_TRUE(platform::HoldsJukeboxData(dir.Join("Mes jeux é")));
  dir.WriteFile("folder/Org/Wave100.dat/x", "");  // a folder by that name is no bank
  EXPECT_FALSE(platform::HoldsJukeboxData(dir.Join("folder")));
  EXPECT_FALSE(platform::HoldsJukeboxData(""));
}

}  // namespace
