#include "runtime/platform/data_path.h"

#include <gtest/gtest.h>

#include <cctype>

#include "runtime/platform/text_encoding.h"
#include "test_support/scratch_directory.h"

namespace {

using platform::DataFileExists;
using platform::DataFileSize;
using platform::OpenDataFile;
using platform::ResolveDataPath;
using test_support::CurrentDirectoryScope;
using test_support::ScratchDirectory;

// Windows' file system ignores letter case and takes either separator itself: there a path
// resolves as it was asked for, and only its case and separators may differ from the file's.
std::string AsTheSystemCompares(std::string path) {
#ifdef _WIN32
  for (char& c : path)
    c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
#endif
  return path;
}

TEST(DataPathTest, BackslashesBecomeSeparatorsAndCaseIsIgnoredPerComponent) {
  ScratchDirectory dir;
  dir.WriteFile("Org/Wave100.dat", "bank");
  CurrentDirectoryScope here(dir.path());

  EXPECT_EQ(AsTheSystemCompares(ResolveDataPath("Org\\Wave100.dat")),
            AsTheSystemCompares("Org/Wave100.dat"));
  EXPECT_EQ(AsTheSystemCompares(ResolveDataPath("ORG\\wave100.DAT")),
            AsTheSystemCompares("Org/Wave100.dat"));
  EXPECT_EQ(AsTheSystemCompares(ResolveDataPath("org/WAVE100.dat")),
            AsTheSystemCompares("Org/Wave100.dat"));
  platform::FileHandle file = OpenDataFile("oRg\\wAvE100.dAt", "rb");
  ASSERT_TRUE(file);
  char text[5] = {};
  EXPECT_EQ(std::fread(text, 1, 4, file.get()), 4u);
  EXPECT_STREQ(text, "bank");
}

TEST(DataPathTest, AbsolutePathsResolveTheirComponentsToo) {
  ScratchDirectory dir;
  dir.WriteFile("Songs/Org/Bass01.wav", "RIFF");
  const std::string wanted = dir.Join("Songs/Org/Bass01.wav");
  EXPECT_EQ(AsTheSystemCompares(ResolveDataPath(dir.path() + "\\songs\\ORG\\bass01.WAV")),
            AsTheSystemCompares(wanted));
  EXPECT_EQ(DataFileSize(dir.path() + "\\songs\\org\\BASS01.wav"), 4);
}

TEST(DataPathTest, MissingFilesKeepTheMappedPathAndReportAbsence) {
  ScratchDirectory dir;
  dir.WriteFile("Org/a.txt", "x");
  CurrentDirectoryScope here(dir.path());
  EXPECT_EQ(AsTheSystemCompares(ResolveDataPath("ORG\\New.txt")),
            AsTheSystemCompares("Org/New.txt"));  // a file can be created there
  EXPECT_EQ(AsTheSystemCompares(ResolveDataPath("Nowhere\\New.txt")),
            AsTheSystemCompares("Nowhere/New.txt"));
  EXPECT_FALSE(DataFileExists("Org\\b.txt"));
  EXPECT_FALSE(DataFileExists("Org"));  // a folder is not a file
  EXPECT_EQ(DataFileSize("Org\\b.txt"), -1);
  EXPECT_FALSE(OpenDataFile("Org\\b.txt", "rb"));
}

TEST(DataPathTest, SecondByteOfAShiftJisCharacterIsNotASeparator) {
  // "ソ" is 0x83 0x5C in CP932: its second byte is the backslash code.
  ScratchDirectory dir;
  dir.WriteFile("曲/ソナタ.org", "song");
  CurrentDirectoryScope here(dir.path());
  const std::string data_path = platform::Utf8ToCp932("曲\\ソナタ.org");
  ASSERT_NE(data_path.find("\x83\x5C"), std::string::npos);
  EXPECT_EQ(ResolveDataPath(data_path), "曲/ソナタ.org");
  EXPECT_TRUE(DataFileExists(data_path));
}

}  // namespace
