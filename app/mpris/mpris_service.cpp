#include "app/mpris/mpris_service.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/desktop/user_songs.h"
#include "app/mpris/mpris_state.h"
#include "runtime/core/main_window.h"

namespace app {
namespace {

constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kBusName = "org.mpris.MediaPlayer2.OrvalindeJukebox";

}  // namespace

struct MprisService::Impl {
  sd_bus* bus = nullptr;
  sd_bus_slot* root_slot = nullptr;
  sd_bus_slot* player_slot = nullptr;
  JukeboxModel* model = nullptr;
  bool quit = false;
  bool announced = false;  // the first state has been taken (nothing to announce before it)
  mpris::PlayerState last;
  uint32_t seeks_announced = 0;
  double volume_set = 1;     // the last volume set over the bus
  int volume_set_step = -1;  // and the step it gave (-1: none set)

  ~Impl() {
    sd_bus_slot_unref(root_slot);
    sd_bus_slot_unref(player_slot);
    if (bus) sd_bus_flush_close_unref(bus);
  }

  static Impl* Of(void* userdata) { return static_cast<Impl*>(userdata); }

  // --- methods
  static int Raise(sd_bus_message* m, void*, sd_bus_error*) {
    runtime::RaiseMainWindow();
    return sd_bus_reply_method_return(m, "");
  }
  static int Quit(sd_bus_message* m, void* userdata, sd_bus_error*) {
    Of(userdata)->quit = true;  // as Escape: the frame loop ends
    return sd_bus_reply_method_return(m, "");
  }
  static int Next(sd_bus_message* m, void* userdata, sd_bus_error*) {
    if (JukeboxModel* model = Of(userdata)->model) model->Next();
    return sd_bus_reply_method_return(m, "");
  }
  static int Previous(sd_bus_message* m, void* userdata, sd_bus_error*) {
    if (JukeboxModel* model = Of(userdata)->model) model->Previous();
    return sd_bus_reply_method_return(m, "");
  }
  static void PlayOrResume(JukeboxModel* model) {
    if (model->paused()) {
      model->SetPaused(false);
    } else if (!model->playing()) {
      model->Play();
    }
  }
  static int Play(sd_bus_message* m, void* userdata, sd_bus_error*) {
    if (JukeboxModel* model = Of(userdata)->model) PlayOrResume(model);
    return sd_bus_reply_method_return(m, "");
  }
  static int Pause(sd_bus_message* m, void* userdata, sd_bus_error*) {
    if (JukeboxModel* model = Of(userdata)->model) model->SetPaused(true);
    return sd_bus_reply_method_return(m, "");
  }
  static int PlayPause(sd_bus_message* m, void* userdata, sd_bus_error*) {
    if (JukeboxModel* model = Of(userdata)->model) {
      if (model->playing() && !model->paused()) {
        model->SetPaused(true);
      } else {
        PlayOrResume(model);
      }
    }
    return sd_bus_reply_method_return(m, "");
  }
  static int Stop(sd_bus_message* m, void* userdata, sd_bus_error*) {
    if (JukeboxModel* model = Of(userdata)->model) model->Stop();
    return sd_bus_reply_method_return(m, "");
  }
  // Seeks: by an offset (past the end: the next song, as MPRIS asks) or to a position of the
  // track playing; in microseconds, landing exactly where an offline render would be.
  static int Seek(sd_bus_message* m, void* userdata, sd_bus_error*) {
    int64_t offset = 0;
    int r = sd_bus_message_read(m, "x", &offset);
    if (r < 0) return r;
    if (JukeboxModel* model = Of(userdata)->model; model && model->playing()) {
      const int64_t target = mpris::SeekTarget(int64_t{model->elapsed_ms()} * 1000, offset,
                                               Of(userdata)->Now().metadata.length_us);
      target < 0 ? model->Next() : static_cast<void>(model->SeekTo(MsOf(target)));
    }
    return sd_bus_reply_method_return(m, "");
  }
  static int SetPosition(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* track = nullptr;
    int64_t position = 0;
    int r = sd_bus_message_read(m, "ox", &track, &position);
    if (r < 0) return r;
    JukeboxModel* model = Of(userdata)->model;
    if (model &&
        mpris::SetPositionApplies(Of(userdata)->Now().metadata, track ? track : "", position))
      model->SeekTo(MsOf(position));
    return sd_bus_reply_method_return(m, "");
  }
  static uint32_t MsOf(int64_t us) {
    return static_cast<uint32_t>(std::min<int64_t>(us / 1000, UINT32_MAX));
  }
  static int OpenUri(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    const char* uri = nullptr;
    int r = sd_bus_message_read(m, "s", &uri);
    if (r < 0) return r;
    const std::string path = mpris::PathOfFileUri(uri ? uri : "");
    if (path.empty())
      return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "only file:// URIs can be opened");
    JukeboxModel* model = Of(userdata)->model;
    if (!model) return sd_bus_error_set(error, SD_BUS_ERROR_FAILED, "the jukebox is not ready");
    const CollectedSongs collected = CollectSongs({path});
    PrintProblems(collected);
    if (collected.songs.empty())
      return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "not a song that can be played");
    const int first = AddSongs(collected.songs, model);
    if (first < 0)
      return sd_bus_error_set(error, SD_BUS_ERROR_LIMITS_EXCEEDED, "the playlist is full");
    model->PlayEntry(first);
    return sd_bus_reply_method_return(m, "");
  }

  // --- properties
  static int True(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                  sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 1);
  }
  static int False(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                   sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 0);
  }
  static int One(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                 sd_bus_error*) {
    return sd_bus_message_append(reply, "d", 1.0);
  }
  static int Identity(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                      sd_bus_error*) {
    return sd_bus_message_append(reply, "s", "Orvalinde JUKEBOX");
  }
  static int DesktopEntry(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                          void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "s", "orvalinde-jukebox");
  }
  static int UriSchemes(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                        void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "as", 1, "file");
  }
  static int MimeTypes(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                       sd_bus_error*) {
    return sd_bus_message_append(reply, "as", 1, "audio/x-org");
  }
  mpris::PlayerState Now() const {
    if (model) {
      mpris::PlayerState state = mpris::StateOf(*model);
      // A volume set over the bus reads back as it was set while its step holds.
      if (volume_set_step == model->volume_step()) state.volume = volume_set;
      return state;
    }
    mpris::PlayerState before_start;
    before_start.playback_status = "Stopped";
    before_start.loop_status = "Playlist";
    return before_start;
  }
  static int PlaybackStatus(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                            void* userdata, sd_bus_error*) {
    return sd_bus_message_append(reply, "s", Of(userdata)->Now().playback_status.c_str());
  }
  static int LoopStatus(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                        void* userdata, sd_bus_error*) {
    return sd_bus_message_append(reply, "s", Of(userdata)->Now().loop_status.c_str());
  }
  static int Shuffle(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                     void* userdata, sd_bus_error*) {
    return sd_bus_message_append(reply, "b", Of(userdata)->Now().shuffle ? 1 : 0);
  }
  static int Volume(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                    void* userdata, sd_bus_error*) {
    return sd_bus_message_append(reply, "d", Of(userdata)->Now().volume);
  }
  static int Position(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                      void* userdata, sd_bus_error*) {
    const JukeboxModel* model = Of(userdata)->model;
    const int64_t position = model ? int64_t{model->elapsed_ms()} * 1000 : 0;
    return sd_bus_message_append(reply, "x", position);
  }
  static int CanGo(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                   void* userdata, sd_bus_error*) {
    return sd_bus_message_append(reply, "b", Of(userdata)->Now().can_go ? 1 : 0);
  }
  static int AppendEntry(sd_bus_message* reply, const char* key, const char* type,
                         const void* value) {
    int r = sd_bus_message_open_container(reply, 'e', "sv");
    if (r >= 0) r = sd_bus_message_append(reply, "s", key);
    if (r >= 0) r = sd_bus_message_open_container(reply, 'v', type);
    if (r >= 0) {
      if (std::strcmp(type, "x") == 0) {
        r = sd_bus_message_append(reply, "x", *static_cast<const int64_t*>(value));
      } else if (std::strcmp(type, "o") == 0) {
        r = sd_bus_message_append(reply, "o", static_cast<const char*>(value));
      } else {
        r = sd_bus_message_append(reply, "s", static_cast<const char*>(value));
      }
    }
    if (r >= 0) r = sd_bus_message_close_container(reply);
    if (r >= 0) r = sd_bus_message_close_container(reply);
    return r;
  }
  static int Metadata(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                      void* userdata, sd_bus_error*) {
    const mpris::TrackMetadata track = Of(userdata)->Now().metadata;
    int r = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (r >= 0) r = AppendEntry(reply, "mpris:trackid", "o", track.track_id.c_str());
    if (r >= 0 && !track.title.empty())
      r = AppendEntry(reply, "xesam:title", "s", track.title.c_str());
    if (r >= 0 && track.length_us > 0)
      r = AppendEntry(reply, "mpris:length", "x", &track.length_us);
    if (r >= 0 && !track.url.empty()) r = AppendEntry(reply, "xesam:url", "s", track.url.c_str());
    if (r >= 0) r = sd_bus_message_close_container(reply);
    return r;
  }
  static int SetLoopStatus(sd_bus*, const char*, const char*, const char*, sd_bus_message* value,
                           void* userdata, sd_bus_error* error) {
    const char* status = nullptr;
    int r = sd_bus_message_read(value, "s", &status);
    if (r < 0) return r;
    const std::string wanted = status ? status : "";
    if (wanted != "None" && wanted != "Track" && wanted != "Playlist")
      return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS,
                              "LoopStatus is None, Track or Playlist");
    // Track is endless repeat; Playlist the list going round, as the jukebox's always did; None
    // stops after the last song.
    if (JukeboxModel* model = Of(userdata)->model) {
      model->SetEndless(wanted == "Track");
      model->SetStopAfterLast(wanted == "None");
    }
    return 0;
  }
  static int SetShuffle(sd_bus*, const char*, const char*, const char*, sd_bus_message* value,
                        void* userdata, sd_bus_error*) {
    int shuffle = 0;
    int r = sd_bus_message_read(value, "b", &shuffle);
    if (r < 0) return r;
    if (JukeboxModel* model = Of(userdata)->model)
      shuffle ? model->ShuffleOn() : model->ShuffleOff();
    return 0;
  }
  static int SetVolume(sd_bus*, const char*, const char*, const char*, sd_bus_message* value,
                       void* userdata, sd_bus_error*) {
    double volume = 1;
    int r = sd_bus_message_read(value, "d", &volume);
    if (r < 0) return r;
    if (JukeboxModel* model = Of(userdata)->model) {
      model->SetVolumeStep(mpris::VolumeStepFor(volume));
      Of(userdata)->volume_set = std::clamp(volume, 0.0, 1.0);
      Of(userdata)->volume_set_step = model->volume_step();
    }
    return 0;
  }
  static int SetRate(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void*,
                     sd_bus_error*) {
    double rate = 1;
    return sd_bus_message_read(value, "d", &rate);  // one rate only: nothing changes
  }

  // Announces every seek, whatever made it (a key, the bus), with the new position.
  void AnnounceSeeks() {
    if (!model || model->seek_count() == seeks_announced) return;
    seeks_announced = model->seek_count();
    sd_bus_emit_signal(bus, kObjectPath, kPlayerInterface, "Seeked", "x",
                       int64_t{model->elapsed_ms()} * 1000);
  }

  // Announces, with PropertiesChanged, every Player property that differs from the last frame.
  void AnnounceChanges() {
    const mpris::PlayerState now = Now();
    if (announced) {
      std::vector<const char*> changed;
      if (now.playback_status != last.playback_status) changed.push_back("PlaybackStatus");
      if (now.loop_status != last.loop_status) changed.push_back("LoopStatus");
      if (now.shuffle != last.shuffle) changed.push_back("Shuffle");
      if (now.volume != last.volume) changed.push_back("Volume");
      if (now.can_go != last.can_go) {
        for (const char* name : {"CanGoNext", "CanGoPrevious", "CanPlay", "CanPause"})
          changed.push_back(name);
      }
      const mpris::TrackMetadata& a = now.metadata;
      const mpris::TrackMetadata& b = last.metadata;
      if (a.track_id != b.track_id || a.title != b.title || a.length_us != b.length_us ||
          a.url != b.url)
        changed.push_back("Metadata");
      if (!changed.empty()) {
        changed.push_back(nullptr);
        sd_bus_emit_properties_changed_strv(bus, kObjectPath, kPlayerInterface,
                                            const_cast<char**>(changed.data()));
      }
    }
    last = now;
    announced = true;
  }
};

namespace {

using Impl = MprisService::Impl;
constexpr uint64_t kChanges = SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE;

const sd_bus_vtable kRootVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", &Impl::Raise, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Quit", "", "", &Impl::Quit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_PROPERTY("CanQuit", "b", &Impl::True, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanRaise", "b", &Impl::True, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("HasTrackList", "b", &Impl::False, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Identity", "s", &Impl::Identity, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("DesktopEntry", "s", &Impl::DesktopEntry, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", &Impl::UriSchemes, 0,
                    SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", &Impl::MimeTypes, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kPlayerVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", &Impl::Next, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Previous", "", "", &Impl::Previous, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Pause", "", "", &Impl::Pause, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("PlayPause", "", "", &Impl::PlayPause, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Stop", "", "", &Impl::Stop, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Play", "", "", &Impl::Play, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Seek", "x", "", &Impl::Seek, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SetPosition", "ox", "", &Impl::SetPosition, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("OpenUri", "s", "", &Impl::OpenUri, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", &Impl::PlaybackStatus, 0, kChanges),
    SD_BUS_WRITABLE_PROPERTY("LoopStatus", "s", &Impl::LoopStatus, &Impl::SetLoopStatus, 0,
                             kChanges | SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_WRITABLE_PROPERTY("Rate", "d", &Impl::One, &Impl::SetRate, 0,
                             kChanges | SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_WRITABLE_PROPERTY("Shuffle", "b", &Impl::Shuffle, &Impl::SetShuffle, 0,
                             kChanges | SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_PROPERTY("Metadata", "a{sv}", &Impl::Metadata, 0, kChanges),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", &Impl::Volume, &Impl::SetVolume, 0,
                             kChanges | SD_BUS_VTABLE_UNPRIVILEGED),
    // The position moves all the time: asked for, never announced (as MPRIS has it).
    SD_BUS_PROPERTY("Position", "x", &Impl::Position, 0, 0),
    SD_BUS_PROPERTY("MinimumRate", "d", &Impl::One, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("MaximumRate", "d", &Impl::One, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanGoNext", "b", &Impl::CanGo, 0, kChanges),
    SD_BUS_PROPERTY("CanGoPrevious", "b", &Impl::CanGo, 0, kChanges),
    SD_BUS_PROPERTY("CanPlay", "b", &Impl::CanGo, 0, kChanges),
    SD_BUS_PROPERTY("CanPause", "b", &Impl::CanGo, 0, kChanges),
    SD_BUS_PROPERTY("CanSeek", "b", &Impl::True, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanControl", "b", &Impl::True, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END,
};

}  // namespace

MprisService::MprisService() : impl_(std::make_unique<Impl>()) {}

MprisService::~MprisService() = default;

bool MprisService::Connect(std::string* why) {
  int r = sd_bus_open_user(&impl_->bus);
  if (r < 0) {
    *why = std::string("no session bus (") + std::strerror(-r) + ")";
    impl_->bus = nullptr;
    return false;
  }
  r = sd_bus_add_object_vtable(impl_->bus, &impl_->root_slot, kObjectPath, kRootInterface,
                               kRootVtable, impl_.get());
  if (r >= 0)
    r = sd_bus_add_object_vtable(impl_->bus, &impl_->player_slot, kObjectPath, kPlayerInterface,
                                 kPlayerVtable, impl_.get());
  if (r >= 0) {
    r = sd_bus_request_name(impl_->bus, kBusName, 0);
    // Another player of ours holds the name: this one takes an instance name, as MPRIS allows.
    if (r == -EEXIST)
      r = sd_bus_request_name(
          impl_->bus, (std::string(kBusName) + ".instance" + std::to_string(getpid())).c_str(), 0);
  }
  if (r < 0) {
    *why = std::string("cannot serve the media-player interface (") + std::strerror(-r) + ")";
    sd_bus_flush_close_unref(impl_->bus);
    impl_->bus = nullptr;
    return false;
  }
  return true;
}

void MprisService::AfterInit(JukeboxModel* model, org::MusicPlayer*) { impl_->model = model; }

void MprisService::EachFrame(JukeboxModel* model, const WindowRequests&) {
  impl_->model = model;
  if (!impl_->bus) return;
  // Every waiting call and reply, without waiting for more.
  while (sd_bus_process(impl_->bus, nullptr) > 0) {
  }
  impl_->AnnounceChanges();
  impl_->AnnounceSeeks();
}

void MprisService::BeforeExit(JukeboxModel* model) {
  impl_->model = model;
  if (impl_->bus) sd_bus_flush(impl_->bus);
}

bool MprisService::QuitRequested() const { return impl_->quit; }

}  // namespace app
