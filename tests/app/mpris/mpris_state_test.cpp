// What the media controls are shown, worked out from the model: status, loop, volume, metadata
// and file URIs.
#include "app/mpris/mpris_state.h"

#include <gtest/gtest.h>

namespace {

using namespace app::mpris;

class OneSongPlayer : public app::JukeboxPlayer {
 public:
  int current_index() const override { return current; }
  int entry_count() const override { return 2; }
  const char* title(int) const override { return "\x83\x54\x83\x4E\x83\x89"; }  // サクラ
  int time_limit(int) const override { return 75; }
  void PlayIndex(int index) override { current = index; }
  void RequestSwitch(int) override {}
  std::string entry_file(int) const override { return "/music/my song.org"; }
  int current = -1;
};

TEST(MprisStateTest, StatusLoopAndMetadataFollowTheModel) {
  OneSongPlayer player;
  app::JukeboxModel model(&player);
  PlayerState state = StateOf(model);
  EXPECT_EQ(state.playback_status, "Stopped");
  EXPECT_EQ(state.loop_status, "Playlist");  // the list goes round
  model.SetStopAfterLast(true);
  EXPECT_EQ(StateOf(model).loop_status, "None");
  model.SetStopAfterLast(false);
  EXPECT_EQ(state.metadata.track_id, "/org/mpris/MediaPlayer2/TrackList/NoTrack");
  model.ResetPlayOrder();
  model.Play();
  model.ToggleEndless();
  state = StateOf(model);
  EXPECT_EQ(state.playback_status, "Playing");
  EXPECT_EQ(state.loop_status, "Track");
  EXPECT_EQ(state.metadata.title, "サクラ");  // UTF-8 for the bus
  EXPECT_EQ(state.metadata.length_us, 0);     // endless: no end
  model.ToggleEndless();
  // As the jukebox will play it: the time limit, the second in which it is found past, the fade.
  EXPECT_EQ(StateOf(model).metadata.length_us, (76000 + app::kFadeMs) * int64_t{1000});
  EXPECT_EQ(state.metadata.url, "file:///music/my%20song.org");
  model.SetPaused(true);
  EXPECT_EQ(StateOf(model).playback_status, "Paused");
}

TEST(MprisStateTest, SeekAndSetPositionKeepToTheTrack) {
  EXPECT_EQ(SeekTarget(10000000, 5000000, 60000000), 15000000);
  EXPECT_EQ(SeekTarget(3000000, -5000000, 60000000), 0);   // never before the start
  EXPECT_EQ(SeekTarget(58000000, 5000000, 60000000), -1);  // past the end: as Next
  EXPECT_EQ(SeekTarget(58000000, 5000000, 0), 63000000);   // no end (endless)
  TrackMetadata playing;
  playing.track_id = "/org/orvalinde/jukebox/track/2";
  playing.length_us = 60000000;
  EXPECT_TRUE(SetPositionApplies(playing, "/org/orvalinde/jukebox/track/2", 30000000));
  EXPECT_FALSE(SetPositionApplies(playing, "/org/orvalinde/jukebox/track/1", 30000000));
  EXPECT_FALSE(SetPositionApplies(playing, playing.track_id, -1));
  EXPECT_FALSE(SetPositionApplies(playing, playing.track_id, 60000001));
  playing.track_id = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
  EXPECT_FALSE(SetPositionApplies(playing, playing.track_id, 0));
}

TEST(MprisStateTest, VolumeIsOneAtZeroDecibelsAndStepsBothWays) {
  EXPECT_EQ(VolumeStepFor(1.0), 0);
  EXPECT_EQ(VolumeStepFor(1.5), 0);
  EXPECT_EQ(VolumeStepFor(0.5), 2);  // -6.02 dB: two 3 dB steps
  EXPECT_EQ(VolumeStepFor(0.0), app::kVolumeSilent);
  EXPECT_EQ(VolumeStepFor(-1), app::kVolumeSilent);
  EXPECT_EQ(VolumeStepFor(1e-9), app::kVolumeSilent);
  for (int step = 0; step <= app::kVolumeSilent; ++step)
    EXPECT_EQ(VolumeStepFor(VolumeOfStep(step)), step);
}

TEST(MprisStateTest, FileUrisBothWays) {
  EXPECT_EQ(PathOfFileUri("file:///a%20b/c%C3%A9.org"), "/a b/cé.org");
  EXPECT_EQ(PathOfFileUri("file://localhost/x.org"), "/x.org");
  EXPECT_EQ(PathOfFileUri("file://elsewhere/x.org"), "");  // another host's file
  EXPECT_EQ(PathOfFileUri("http://example.org/x.org"), "");
  EXPECT_EQ(PathOfFileUri("file:///a%00b"), "");
  EXPECT_EQ(PathOfFileUri(FileUriOfPath("/songs/100% [mix].org")), "/songs/100% [mix].org");
}

}  // namespace
