#include "game_music/music_player.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "game_music/engine_fixture.h"
#include "game_music/game_engine.h"
#include "game_music/org_song.h"
#include "game_music/sequencer.h"

namespace {

using org::MusicPlayer;

class MusicPlayerTest : public test_support::EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    player_.SetTickSource(&ticks);
    for (int i = 0; i < 3; ++i) {
      org::ParsedSong song = EmptySong();
      song.wait = static_cast<uint16_t>(50 + 10 * i);
      WriteSong("Org/s" + std::to_string(i) + ".org", song);
    }
    WriteDrum("Org/Org/Bass01.wav", std::vector<uint8_t>(10, 0x80));
    dir.WriteFile("Org/music.txt",
                  "0\t60\tOrg\\s0.org\tZERO\n1\t70\tOrg\\s1.org\tONE\n2\t80\tOrg\\s2.org\tTWO\n");
  }
  void TearDown() override {
    player_.StopPlayback();
    player_.ReleasePlayer();
    EngineFixture::TearDown();
  }
  int LoadedWait() const { return player_.engine().song().wait; }

  MusicPlayer player_;
};

TEST_F(MusicPlayerTest, InitReadsThePlaylistAndCountsOneMore) {
  player_.Init(&device);
  EXPECT_TRUE(player_.ready);
  EXPECT_EQ(player_.entry_count, 4);
  EXPECT_STREQ(player_.titles[1], "ONE");
  EXPECT_STREQ(player_.paths[2], "Org\\s2.org");
  EXPECT_EQ(player_.time_limits[0], 60);
  EXPECT_EQ(player_.current_index, -1);
}

TEST_F(MusicPlayerTest, WithoutADeviceOrABankThePlayerStaysIdle) {
  MusicPlayer no_device;
  no_device.Init(nullptr);
  EXPECT_FALSE(no_device.ready);
  EXPECT_EQ(no_device.entry_count, 0);
  no_device.PlayIndex(0);
  EXPECT_EQ(no_device.current_index, -1);
  std::remove(dir.Join("Org/Wave100.dat").c_str());
  MusicPlayer no_bank;
  no_bank.Init(&device);
  EXPECT_FALSE(no_bank.ready);
  EXPECT_EQ(no_bank.entry_count, 0);
}

TEST_F(MusicPlayerTest, PlayIndexLoadsAndStartsAndNeverRestartsTheSameEntry) {
  player_.Init(&device);
  player_.PlayIndex(1);
  EXPECT_EQ(player_.current_index, 1);
  EXPECT_EQ(LoadedWait(), 60);
  EXPECT_TRUE(ticks.running());
  EXPECT_EQ(ticks.period_ms(), 60u);
  ticks.Fire();
  ticks.Fire();
  player_.PlayIndex(1);  // already playing: no reload
  EXPECT_EQ(player_.engine().sequencer_state().play_step, 2);
  player_.PlayIndex(-1);
  EXPECT_FALSE(ticks.running());
  EXPECT_EQ(player_.engine().master_volume(), 0);
  EXPECT_EQ(player_.current_index, -1);
  player_.PlayIndex(2);
  EXPECT_EQ(player_.engine().master_volume(), 127);
  EXPECT_EQ(LoadedWait(), 70);
}

TEST_F(MusicPlayerTest, IndicesOutsideThePlaylistAreIgnored) {
  // Regression: an index past the entries read an empty path (and past the table beyond 119).
  player_.Init(&device);
  player_.PlayIndex(0);
  player_.PlayIndex(3);
  player_.PlayIndex(-2);
  player_.PlayIndex(500);
  EXPECT_EQ(player_.current_index, 0);
  EXPECT_TRUE(notices.empty());
}

TEST_F(MusicPlayerTest, ASwitchFadesFor127FramesThenPlaysTheNewEntry) {
  player_.Init(&device);
  player_.PlayIndex(0);
  player_.RequestSwitch(0);  // the current entry: nothing
  EXPECT_FALSE(player_.switch_pending);
  player_.RequestSwitch(2);
  for (int frame = 1; frame < 127; ++frame) {
    player_.UpdateFrame();
    ASSERT_EQ(player_.engine().master_volume(), 127 - frame);
    ASSERT_EQ(player_.current_index, 0);
  }
  player_.UpdateFrame();
  EXPECT_EQ(player_.current_index, 2);
  EXPECT_EQ(player_.engine().master_volume(), 127);
  EXPECT_FALSE(player_.switch_pending);
}

TEST_F(MusicPlayerTest, AFadeToSilenceTakesTheOutputDownWithTheMasterVolume) {
  player_.Init(&device);
  player_.PlayIndex(0);
  player_.SetOutputGain(16384);  // the listener's volume, -6 dB
  player_.RequestSwitch(1);
  for (int frame = 0; frame < 126; ++frame) player_.UpdateFrame();
  EXPECT_EQ(device.output_gains, (std::vector<int32_t>{16384}));  // the game's fade: untouched
  player_.PlayIndex(0);

  player_.SetFadeToSilence(true);
  device.output_gains.clear();
  player_.RequestSwitch(1);
  for (int frame = 0; frame < 126; ++frame) player_.UpdateFrame();
  ASSERT_EQ(device.output_gains.size(), 126u);
  EXPECT_EQ(device.output_gains[0], 16384 * 126 * 126 / (127 * 127));
  EXPECT_TRUE(std::is_sorted(device.output_gains.rbegin(), device.output_gains.rend()));
  EXPECT_EQ(device.output_gains.back(), 1);  // master volume 1: 84 dB further down
  player_.UpdateFrame();                     // the next song, at the listener's volume again
  EXPECT_EQ(player_.current_index, 1);
  EXPECT_EQ(device.output_gains.back(), 16384);
}

TEST_F(MusicPlayerTest, PlayIndexDuringAFadeCancelsIt) {
  player_.Init(&device);
  player_.PlayIndex(0);
  player_.RequestSwitch(1);
  for (int frame = 0; frame < 40; ++frame) player_.UpdateFrame();
  player_.PlayIndex(0);
  EXPECT_EQ(player_.engine().master_volume(), 127);
  EXPECT_FALSE(player_.switch_pending);
  EXPECT_EQ(player_.fade_volume, 127);
  player_.UpdateFrame();
  EXPECT_EQ(player_.current_index, 0);
}

TEST_F(MusicPlayerTest, AMissingSongShowsItsNoticeAndTheOldSongResumes) {
  dir.WriteFile("Org/music.txt", "0\t60\tOrg\\s0.org\tA\n1\t60\tOrg\\gone.org\tB\n");
  player_.Init(&device);
  player_.PlayIndex(0);
  ticks.Fire();
  player_.PlayIndex(1);
  EXPECT_EQ(notices.size(), 1u);
  EXPECT_TRUE(ticks.running());  // started anyway, on the song the engine holds
  EXPECT_EQ(player_.engine().sequencer_state().play_step, 1);
  EXPECT_EQ(LoadedWait(), 50);
}

// A song of the user's own: from its own path (any characters), never a message box. Its drums
// come from a kit beside it, else from the playlist's kit (here in Org\ beside top-level songs),
// else from ours; a drum missing from the kit used is said once on standard error.
TEST_F(MusicPlayerTest, ASongOfOnesOwnPlaysWithTheBestKitAndRaisesNoMessageBox) {
  org::ParsedSong drums = EmptySong();
  drums.tracks[8].wave = 0;  // Bass01: in the playlist's kit
  drums.tracks[8].events = {{0, 40, 1, 200, 6}};
  drums.tracks[9].wave = 2;  // Snare01: in no kit
  drums.tracks[9].events = {{1, 40, 1, 200, 6}};
  WriteSong("Mes chansons é/Le mien.org", drums);
  WriteSong("top.org", EmptySong());
  WriteDrum("Org/Bass01.wav", std::vector<uint8_t>(40, 0x90));  // the kit of top-level songs
  dir.WriteFile("Org/music.txt", "0\t60\ttop.org\tTOP\n");
  player_.Init(&device);
  player_.ClearPlaylist();  // songs given by path replace the playlist
  ASSERT_TRUE(player_.AppendEntry(dir.Join("Mes chansons é/Le mien.org"), "MINE", 30, "Le mien"));
  EXPECT_EQ(player_.entry_title_utf8(0), "Le mien");
  testing::internal::CaptureStderr();
  device.ClearCalls();
  player_.PlayIndex(0);
  player_.StopPlayback();
  player_.PlayIndex(-1);
  player_.PlayIndex(0);  // again: what was said is not said twice
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(notices.empty()) << notices[0].first;
  EXPECT_EQ(LoadedWait(), 100);
  EXPECT_TRUE(ticks.running());
  // Bass01 from the playlist's kit: a buffer of its 40 samples; Snare01 from nowhere.
  int forty = 0;
  for (const auto& call : device.Calls("create"))
    forty += device.buffers[static_cast<size_t>(call.buffer)].desc.length_bytes == 40;
  EXPECT_EQ(forty, 2 * 7);  // every track naming drum 0 (the empty ones too), at both loads
  EXPECT_EQ(said.find("Snare01.wav"), said.rfind("Snare01.wav")) << said;
  // Paths are said in the system's own form (on Windows with backslashes).
  const auto with_slashes = [](std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
  };
  EXPECT_NE(
      with_slashes(said).find("drum file not found: " + with_slashes(dir.Join("Org/Snare01.wav"))),
      std::string::npos)
      << said;
}

TEST_F(MusicPlayerTest, ASongOfOnesOwnThatCannotBeLoadedIsSaidOnceAndNothingPlays) {
  player_.Init(&device);
  player_.PlayIndex(0);
  ticks.Fire();
  ASSERT_TRUE(player_.AppendEntry(dir.Join("gone.org"), "GONE", 30));
  const int gone = player_.entry_count - 2;
  testing::internal::CaptureStderr();
  player_.PlayIndex(gone);
  player_.PlayIndex(-1);
  player_.PlayIndex(gone);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(notices.empty());
  EXPECT_FALSE(ticks.running());  // not the song before it again, and no silent "playing"
  EXPECT_NE(said.find("gone.org: cannot be read (No such file or directory): not played"),
            std::string::npos)
      << said;
  EXPECT_EQ(said.find("gone.org"), said.rfind("gone.org")) << said;
}

TEST_F(MusicPlayerTest, ADesktopPlaylistHoldsMoreThanTheGames120Songs) {
  player_.Init(&device);
  player_.ClearPlaylist();
  for (int i = 0; i < 130; ++i)
    ASSERT_TRUE(player_.AppendEntry(dir.Join("Org/s1.org"), "T" + std::to_string(i), 40 + i));
  EXPECT_EQ(player_.entry_count, 131);
  EXPECT_STREQ(player_.title(5), "T5");
  EXPECT_STREQ(player_.title(125), "T125");
  EXPECT_EQ(player_.time_limit(125), 165);
  EXPECT_STREQ(player_.title(130), "");  // past the last
  player_.PlayIndex(125);
  EXPECT_EQ(player_.current_index, 125);
  EXPECT_EQ(LoadedWait(), 60);  // s1.org, from the entry's own file
}

TEST_F(MusicPlayerTest, SetMusicVolumeTakesOnly0To127) {
  player_.Init(&device);
  player_.SetMusicVolume(64);
  player_.SetMusicVolume(128);
  player_.SetMusicVolume(-1);
  EXPECT_EQ(player_.engine().master_volume(), 64);
}

TEST_F(MusicPlayerTest, ReleaseFreesEveryBuffer) {
  dir.WriteFile("Org/music.txt", "0\t60\tOrg\\s0.org\tA\n");
  player_.Init(&device);
  player_.PlayIndex(0);
  EXPECT_EQ(device.LiveBuffers(), 8 * 16 + 8);
  player_.StopPlayback();
  player_.ReleasePlayer();
  EXPECT_EQ(device.LiveBuffers(), 0);
  EXPECT_FALSE(player_.ready);
}

// The player plays its own engine: the game's face keeps its song before any load, and the
// player's step, loop count and mutes are its engine's.
TEST_F(MusicPlayerTest, ThePlayerPlaysAnEngineOfItsOwn) {
  player_.Init(&device);
  player_.PlayIndex(1);
  ticks.Fire();
  ticks.Fire();
  EXPECT_EQ(player_.engine().song().wait, 60);
  EXPECT_EQ(org::GetOrgSong().wait, 128);  // the face's engine: untouched
  EXPECT_EQ(org::GetSequencerState().play_step, 0);
  EXPECT_EQ(player_.playing_step(), 1);
  EXPECT_EQ(player_.loop_count(), 0);
  player_.SetTrackMuted(3, true);
  EXPECT_TRUE(player_.engine().track_muted(3));
  EXPECT_FALSE(org::GameEngine().track_muted(3));
}

// Seeking needs a device that moves its own voices: on one that cannot, nothing changes.
TEST_F(MusicPlayerTest, OnADeviceThatCannotMoveItsVoicesASeekChangesNothing) {
  player_.Init(&device);
  player_.PlayIndex(0);
  ticks.Fire();
  device.ClearCalls();
  EXPECT_EQ(player_.SeekTo(1000), -1);
  EXPECT_TRUE(ticks.running());
  EXPECT_EQ(ticks.period_ms(), 50u);
  EXPECT_EQ(player_.engine().sequencer_state().play_step, 1);
  EXPECT_TRUE(device.Calls().empty());
}

}  // namespace
