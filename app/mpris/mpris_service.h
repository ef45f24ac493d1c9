// The jukebox on the desktop's media-player bus (MPRIS, the session D-Bus): it owns
// org.mpris.MediaPlayer2.OrvalindeJukebox and serves /org/mpris/MediaPlayer2 with the
// MediaPlayer2 and MediaPlayer2.Player interfaces, so media keys, desktop media controls and
// tools such as playerctl can play, pause, step, loop, shuffle, set the volume and open songs,
// and see what plays. Calls are taken on the main thread once per frame (the bus is polled,
// never waited on), and act through the model's operations, like keys; every change of what the
// interfaces report, whatever made it, is announced with PropertiesChanged. Built on sd-bus.
#pragma once

#include <memory>
#include <string>

#include "app/jukebox_app.h"

namespace app {

class MprisService final : public JukeboxExtras {
 public:
  MprisService();
  ~MprisService() override;
  MprisService(const MprisService&) = delete;
  MprisService& operator=(const MprisService&) = delete;

  // Connects to the session bus and takes the player's name. False (and why) when there is no
  // session bus; the jukebox then runs without it.
  bool Connect(std::string* why);

  void AfterInit(JukeboxModel* model, org::MusicPlayer* player) override;
  void EachFrame(JukeboxModel* model, const WindowRequests& requests) override;
  void BeforeExit(JukeboxModel* model) override;
  bool QuitRequested() const override;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace app
