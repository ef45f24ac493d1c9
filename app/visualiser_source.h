// What the jukebox's visualiser reads of the playing song and acts on: the song's events and
// loop, the step that sounds, each track's own signal and level (the sound device's per-track
// taps and meters, read, never rendered twice) and live track mutes. An interface, so the view
// is drawn and tested without a sound device; the jukebox's own asks the music player.
// Main thread.
#pragma once

#include <cstdint>

#include "org/org_format.h"

namespace org {
class MusicPlayer;
}

namespace app {

class VisualiserSource {
 public:
  virtual ~VisualiserSource() = default;
  // The playing song, or null when none plays.
  virtual const org::ParsedSong* song() const = 0;
  // The step that sounds now (-1 before the first) and the loop-backs so far.
  virtual int32_t playing_step() const = 0;
  virtual int32_t loop_count() const = 0;
  // Keeps the last `frames` frames of each track's signal and each track's level (0: stops;
  // they cost the sound thread a little while kept).
  virtual void Watch(int frames) = 0;
  // The newest `count` values of a track's own signal (16-bit units, mono), oldest first; how
  // many there were.
  virtual int CopyScope(int track, int32_t* mono, int count) = 0;
  // Each track's peak (16-bit units) since the last call.
  virtual void TakePeaks(int32_t peaks[org::kTrackCount]) = 0;
  // Silences a track live (its voices go on unheard) or gives it back.
  virtual void SetTrackMuted(int track, bool muted) = 0;
};

// The jukebox's own: what the music player gives of its engine and its sound device.
class JukeboxVisualiserSource final : public VisualiserSource {
 public:
  explicit JukeboxVisualiserSource(org::MusicPlayer* player) : player_(player) {}
  const org::ParsedSong* song() const override;
  int32_t playing_step() const override;
  int32_t loop_count() const override;
  void Watch(int frames) override;
  int CopyScope(int track, int32_t* mono, int count) override;
  void TakePeaks(int32_t peaks[org::kTrackCount]) override;
  void SetTrackMuted(int track, bool muted) override;

 private:
  org::MusicPlayer* player_;
};

}  // namespace app
