// The tools' command lines and messages as a user meets them: values checked where they are
// read, options that say what they lack, file names as the user wrote them, each missing drum
// said once, the shipped drums standing in, orgplay's passes, songc's --help; and the progress
// bar's pace.
#include <gtest/gtest.h>

#include <filesystem>

#include "org/org_format.h"
#include "test_support/program_run.h"
#include "test_support/scratch_directory.h"
#include "tools/cli/arguments.h"
#include "tools/cli/progress_bar.h"
#include "tools/cli/terminal_keys.h"

namespace {

using test_support::ProgramRun;
using test_support::ScratchDirectory;

const std::string kSong = PROJECT_SOURCE_DIR "/data/Org/Twinkle.org";

ProgramRun Org2wav(const std::string& arguments) {
  return test_support::RunProgram(ORG2WAV_PATH, arguments);
}
ProgramRun Orgplay(const std::string& arguments) {
  return test_support::RunProgram("SDL_AUDIODRIVER=dummy timeout 60 " ORGPLAY_PATH, arguments);
}

int Lines(const std::string& text, const std::string& containing) {
  int count = 0;
  for (size_t at = text.find(containing); at != std::string::npos;
       at = text.find(containing, at + 1))
    ++count;
  return count;
}

TEST(ToolArgumentsCliTest, AnOptionWithoutItsValueSaysSo) {
  for (const auto& run : {Org2wav(kSong + " out.wav --seconds"), Orgplay(kSong + " --seconds")}) {
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("--seconds needs a value"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("unknown option"), std::string::npos) << run.output;
  }
}

TEST(ToolArgumentsCliTest, NumbersThatAreNotPlainDecimalsAreRefused) {
  for (const char* seconds : {"''", "nan", "inf", "-1", "0x10", "1e1", "2.5.1"}) {
    EXPECT_EQ(Org2wav(std::string("--seconds ") + seconds + " a.org b.wav").status, 2) << seconds;
    EXPECT_EQ(Orgplay(std::string("--seconds ") + seconds + " a.org").status, 2) << seconds;
    EXPECT_EQ(Orgplay(std::string("--start ") + seconds + " a.org").status, 2) << seconds;
  }
  for (const char* tracks : {"1.5", "0x3", "1e1", "16", "3-1", "1,,2", "''"})
    EXPECT_EQ(Org2wav(std::string("--mute ") + tracks + " a.org b.wav").status, 2) << tracks;
  unsigned mask = 0;
  EXPECT_TRUE(tools::ParseTrackList("0,3,8-10", &mask));
  EXPECT_EQ(mask, 0x709u);
  double value = 0;
  EXPECT_TRUE(tools::ParseDecimal(".5", 0, 1, &value));
  EXPECT_EQ(value, 0.5);
}

TEST(ToolArgumentsCliTest, AUsageErrorIsOneLineAndAHintNotTheWholeHelp) {
  const std::vector<std::pair<std::string, ProgramRun>> runs = {
      {"org2wav", Org2wav("--frob a.org b.wav")},
      {"orgplay", Orgplay("--frob a.org")},
      {"org2mid", test_support::RunProgram(ORG2MID_PATH, "--frob a.org b.mid")},
      {"songc", test_support::RunProgram(SONGC_PATH, "--frob a.score b.org")}};
  for (const auto& [tool, run] : runs) {
    EXPECT_EQ(run.status, 2) << tool;
    EXPECT_EQ(run.output,
              tool + ": unknown option --frob\nTry '" + tool + " --help' for the options.\n");
  }
}

TEST(ToolArgumentsCliTest, TwoDashesEndTheOptions) {
  ScratchDirectory dir;
  const ProgramRun run = test_support::RunProgram("cd " + dir.path() + " && " ORG2WAV_PATH,
                                                  "-q --seconds 0.2 -- " + kSong + " -dash.wav");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(std::filesystem::exists(dir.Join("-dash.wav")));
}

TEST(ToolArgumentsCliTest, AnOutputWhoseExtensionNamesNoFormatIsRefusedUnlessFormatSays) {
  ScratchDirectory dir;
  for (const char* name : {"x.m4a", "noext", "x.wav.bak"}) {
    const ProgramRun run = Org2wav("-q --seconds 0.2 " + kSong + " " + dir.Join(name));
    EXPECT_EQ(run.status, 2) << name;
    EXPECT_NE(run.output.find(".wav, .flac, .ogg, .opus, .mp3"), std::string::npos) << run.output;
    EXPECT_FALSE(std::filesystem::exists(dir.Join(name))) << name;
  }
  EXPECT_EQ(Org2wav("-q --seconds 0.2 --format flac " + kSong + " " + dir.Join("x.m4a")).status, 0);
  EXPECT_EQ(Org2wav("-q --seconds 0.2 " + kSong + " - > /dev/null").status, 0);  // standard output
}

TEST(ToolArgumentsCliTest, NormalizeTakesASaneLoudnessAndSaysWhenThePeakHoldsItBack) {
  ScratchDirectory dir;
  for (const char* lufs : {"-3", "-80", "3", "0"})
    EXPECT_EQ(Org2wav(std::string("--normalize ") + lufs + " a.org b.wav").status, 2) << lufs;
  const ProgramRun loud =
      Org2wav("-q --normalize -6 --seconds 5 " + kSong + " " + dir.Join("loud.wav"));
  EXPECT_EQ(loud.status, 0) << loud.output;
  EXPECT_NE(loud.output.find("note: " + dir.Join("loud.wav") + ": "), std::string::npos)
      << loud.output;
  EXPECT_NE(loud.output.find("LU below the -6.0 LUFS asked"), std::string::npos) << loud.output;
  const ProgramRun quiet =
      Org2wav("-q --normalize -23 --seconds 5 " + kSong + " " + dir.Join("quiet.wav"));
  EXPECT_EQ(quiet.status, 0) << quiet.output;
  EXPECT_EQ(quiet.output, "");
}

TEST(ToolArgumentsCliTest, ABankOfTheWrongSizeIsNamedWithItsSize) {
  ScratchDirectory dir;
  dir.WriteFile("short.dat", std::string(1000, '\0'));
  const ProgramRun run = Org2wav("-q --seconds 1 --bank " + dir.Join("short.dat") + " " + kSong +
                                 " " + dir.Join("out.wav"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("org2wav: warning: the waveform bank " + dir.Join("short.dat") +
                            " is 1000 bytes, not 25600"),
            std::string::npos)
      << run.output;
}

// A song with two drum tracks on one drum file and a third on another.
void WriteDrumSong(const ScratchDirectory& dir) {
  org::ParsedSong song;
  song.version = 2;
  song.wait = 50;
  song.loop_end = 8;
  song.tracks[0].events.push_back({0, 45, 4, 200, 6});
  for (int t : {8, 9, 10}) {
    song.tracks[t].wave = t == 10 ? 6 : 2;  // drum 2 on two tracks, drum 6 on one
    song.tracks[t].events.push_back({0, 40, 1, 200, 6});
  }
  song.tracks[11].wave = 7;  // a drum slot without events: never loaded, never reported
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  dir.WriteFile("Org/drums.org", std::string(bytes.begin(), bytes.end()));
}

TEST(ToolArgumentsCliTest, EachMissingDrumFileIsOneWarningWithASystemPath) {
  ScratchDirectory dir;
  WriteDrumSong(dir);
  const std::string kit = PROJECT_SOURCE_DIR "/data/Org/Org/";
  std::filesystem::create_directories(dir.Join("Org/Org"));
  // Drum 6 is there; drum 2 is not.
  const char* six = org::DrumFileName(6) + 4;
  std::filesystem::copy_file(kit + six, dir.Join(std::string("Org/Org/") + six));
  const std::string two = org::DrumFileName(2) + 4;
  for (const ProgramRun& run :
       {Org2wav("-q --seconds 1 " + dir.Join("Org/drums.org") + " " + dir.Join("out.wav")),
        Orgplay(dir.Join("Org/drums.org") + " --seconds 0.3")}) {
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(Lines(run.output, "warning:"), 1) << run.output;
    EXPECT_NE(run.output.find("drum file not found: " + dir.Join("Org/Org/" + two)),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find('\\'), std::string::npos) << run.output;
  }
}

TEST(ToolArgumentsCliTest, WithoutDrumsBesideTheSongTheShippedOnesPlay) {
  ScratchDirectory dir;
  WriteDrumSong(dir);
  for (const ProgramRun& run :
       {Org2wav("-q --seconds 1 " + dir.Join("Org/drums.org") + " " + dir.Join("out.wav")),
        Orgplay(dir.Join("Org/drums.org") + " --seconds 0.3")}) {
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(Lines(run.output, "using the shipped drums"), 1) << run.output;
    EXPECT_EQ(Lines(run.output, "warning"), 0) << run.output;
  }
}

TEST(ToolArgumentsCliTest, OrgplayEndsAfterTheIntroAndTheAskedForPasses) {
  ScratchDirectory dir;
  org::ParsedSong song;
  song.version = 2;
  song.wait = 10;
  song.loop_start = 10;
  song.loop_end = 30;  // 0.1 s of intro, 0.2 s a pass
  song.tracks[0].events.push_back({0, 45, 30, 200, 6});
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  dir.WriteFile("short.org", std::string(bytes.begin(), bytes.end()));
  const ProgramRun run = Orgplay(dir.Join("short.org") + " --loops 3");
  EXPECT_EQ(run.status, 0) << run.output;  // ended by itself (timeout would give 124)
  EXPECT_EQ(Orgplay(dir.Join("short.org") + " --loops 0").status, 2);
}

// A song of one long pass: 800 steps of 10 ms.
std::string WriteLongSong(const ScratchDirectory& dir) {
  org::ParsedSong song;
  song.version = 2;
  song.wait = 10;
  song.loop_start = 0;
  song.loop_end = 800;
  song.tracks[0].events.push_back({0, 45, 200, 200, 6});
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  dir.WriteFile("long.org", std::string(bytes.begin(), bytes.end()));
  return dir.Join("long.org");
}

TEST(ToolArgumentsCliTest, OrgplayStartsWhereAskedAndSeeksWithTheArrowKeys) {
  ScratchDirectory dir;
  const std::string song = WriteLongSong(dir);
  // 8 s of song: begun 7.5 s in, it ends long before the 6 s the run is given.
  ProgramRun run = test_support::RunProgram("SDL_AUDIODRIVER=dummy timeout 6 " ORGPLAY_PATH,
                                            song + " --loops 1 --start 7.5");
  EXPECT_EQ(run.status, 0) << run.output;
  // In a terminal, two presses of Right (as the terminal sends them) jump 10 s, past the 8 s
  // end, long before the run's 6 s are out; the line shows where it is and how long it plays.
  run = test_support::RunProgram(
      "(sleep 1; printf '\\033[C\\033[C'; sleep 5) | SDL_AUDIODRIVER=dummy timeout 6 script -qfec",
      "'" ORGPLAY_PATH " " + song + " --loops 1' /dev/null");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(" / 0:08.0"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("   0:1"), std::string::npos) << run.output;  // 10 s on
}

TEST(ToolArgumentsCliTest, TerminalKeysAreReadFromTheirSequences) {
  std::string pending = "\x1b[C\x1bOD\x1b[1~x\x1b[";
  EXPECT_EQ(tools::TakeTerminalKey(&pending), tools::TerminalKey::kRight);
  EXPECT_EQ(tools::TakeTerminalKey(&pending), tools::TerminalKey::kLeft);
  EXPECT_EQ(tools::TakeTerminalKey(&pending), tools::TerminalKey::kHome);
  EXPECT_EQ(tools::TakeTerminalKey(&pending), tools::TerminalKey::kOther);
  EXPECT_EQ(tools::TakeTerminalKey(&pending), tools::TerminalKey::kNone);  // not whole yet
  pending += "D";
  EXPECT_EQ(tools::TakeTerminalKey(&pending), tools::TerminalKey::kLeft);
  EXPECT_TRUE(pending.empty());
  pending = "\x1b[5~";  // Page Up: known as a key, but not one orgplay uses
  EXPECT_EQ(tools::TakeTerminalKey(&pending), tools::TerminalKey::kOther);
  EXPECT_TRUE(pending.empty());
}

TEST(ToolArgumentsCliTest, SongcHelpExitsZero) {
  const ProgramRun run = test_support::RunProgram(SONGC_PATH, "--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("usage: songc"), std::string::npos);
}

uint32_t g_now = 0;
uint32_t FakeNow() { return g_now; }

TEST(ProgressBarTest, RedrawsAtMostTenTimesASecondAndAlwaysShowsTheEnd) {
  std::FILE* sink = std::tmpfile();
  ASSERT_TRUE(sink);
  tools::ProgressBar bar(sink, true, 3, &FakeNow);
  g_now = 0;
  // Three parts of 1000 updates each over 1.5 s.
  for (int part = 0; part < 3; ++part)
    for (int i = 1; i <= 1000; ++i) {
      g_now = static_cast<uint32_t>((part * 1000 + i) / 2);
      bar.Update(part, i / 1000.0);
    }
  EXPECT_LE(bar.redraws(), 1 + 15 + 1);  // the first, one per 100 ms, the last
  EXPECT_GE(bar.redraws(), 15);
  std::rewind(sink);
  char text[8192] = {};
  const size_t n = std::fread(text, 1, sizeof text - 1, sink);
  EXPECT_NE(std::string(text, n).find("100%\n"), std::string::npos);
  std::fclose(sink);
}

}  // namespace

namespace {

// A name outside the Japanese Windows character set, in each place a user names a file: the
// song, a folder above it, its drums' folder, the bank, the output. Every tool reads and writes
// such paths as they are.
TEST(ToolArgumentsCliTest, PathsOutsideJapaneseWindowsTextAreUsedAsTheyAre) {
  test_support::ScratchDirectory dir;
  const std::string folder = dir.Join("Mes chansons é");
  std::filesystem::create_directories(folder + "/Org");
  std::filesystem::create_directories(dir.Join("café"));
  std::filesystem::copy_file(kSong, folder + "/Joie à toi.org");
  std::filesystem::copy_file(PROJECT_SOURCE_DIR "/data/Org/Wave100.dat",
                             dir.Join("café/Wave100.dat"));
  for (const auto& drum : std::filesystem::directory_iterator(PROJECT_SOURCE_DIR "/data/Org/Org"))
    std::filesystem::copy_file(drum.path(), folder + "/Org/" + drum.path().filename().string());
  const std::string song = "'" + folder + "/Joie à toi.org'";
  const std::string bank = " --bank '" + dir.Join("café/Wave100.dat") + "' ";

  ProgramRun run = Org2wav("-q --seconds 2" + bank + song + " '" + dir.Join("sortie é.wav") + "'");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "") << "no drum is missing: they lie beside the song";
  EXPECT_GT(std::filesystem::file_size(dir.Join("sortie é.wav")), 44u * 1000);
  run = Org2wav("--info" + bank + song);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("loudness"), std::string::npos) << run.output;
  run = test_support::RunProgram(ORG2MID_PATH, song + " '" + dir.Join("notes é.mid") + "'");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(std::filesystem::exists(dir.Join("notes é.mid")));
  run = Orgplay("--seconds 0.3" + bank + song);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.find("warning"), std::string::npos) << run.output;
}

}  // namespace
