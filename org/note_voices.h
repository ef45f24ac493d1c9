// Notes played over a song on voices of their own, beside the song's sixteen tracks: a note with
// a track's instrument (a melody track's waveform at the note's octave, with that track's
// finetune; a drum track's drum) at a key, volume and pan, until it is stopped. The voices are
// made when the song opens and share the samples of the track's own buffers, so starting and
// stopping a note never allocates: fit for an audio callback. They belong to no track (track
// mutes and gains leave them alone; the master gain does not). Owned by a SongRenderer.
#pragma once

#include <cstdint>

#include "org/engine.h"

namespace platform {
class MixingSoundDevice;
class SoundBuffer;
}  // namespace platform

namespace org {

class NoteVoices {
 public:
  static constexpr int kVoices = 8;
  // What Start gives instead of a voice.
  static constexpr int kNoFreeVoice = -1;
  static constexpr int kBadArgument = -2;   // a track, key, volume or pan out of range
  static constexpr int kNoInstrument = -3;  // the track has no waveform or drum to play

  NoteVoices(platform::MixingSoundDevice* device, Engine* engine);
  ~NoteVoices();
  NoteVoices(const NoteVoices&) = delete;
  NoteVoices& operator=(const NoteVoices&) = delete;

  // Starts a note of track 0..15's instrument at `key` (0..95), volume 0..254 and pan 0..12 on
  // the first silent voice; returns the voice (0..kVoices - 1) or one of the codes above.
  int Start(int track, int key, int volume, int pan);
  // Ends the note on `voice`: a melody note finishes its waveform's period (no click), a drum
  // or one-shot note stops at once. False for a voice outside 0..kVoices - 1.
  bool Stop(int voice);
  // Every note silenced at once (a seek).
  void StopAll();
  // True while `voice` sounds.
  bool Sounding(int voice) const;

 private:
  platform::MixingSoundDevice* device_;
  Engine* engine_;
  platform::SoundBuffer* voices_[kVoices] = {};
  bool sustained_[kVoices] = {};  // looping until stopped (a melody track that is not one-shot)
};

}  // namespace org
