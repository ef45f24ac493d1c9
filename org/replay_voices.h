// The voices a seek's replay moves, whichever device holds them: the offline mixer of a
// renderer (MixerVoices) or the engine's own output device, for a player (DeviceVoices). Both
// give the replays (step_replay.cpp, settling_replay.cpp) the same calls: moving every voice
// over frames, keeping and comparing their state, and logging the calls applied to them.
// On the thread that drives the engine, during a seek.
#pragma once

#include <cstdint>

#include "runtime/platform/sound_interface.h"
#include "runtime/platform/sound_mixer.h"
#include "runtime/platform/voice_orbit.h"

namespace org {

struct MixerVoices {
  platform::SoundMixer& mixer;
  void Advance(int64_t frames) { mixer.AdvanceFrames(frames); }
  void SaveSnapshot() { mixer.SaveVoiceSnapshot(); }
  bool MatchesSnapshot() { return mixer.VoicesMatchSnapshot(); }
  bool SaveCheckpoint(platform::VoiceCheckpoint* checkpoint) {
    mixer.SaveCheckpoint(checkpoint);
    return true;
  }
  bool RestoreCheckpoint(const platform::VoiceCheckpoint& checkpoint) {
    return mixer.RestoreCheckpoint(checkpoint);
  }
  bool StartLog(platform::VoiceCallLog* log) {
    mixer.StartCallLog(log);
    return true;
  }
  void StopLog() { mixer.StopCallLog(); }
  bool RepeatLog(const platform::VoiceCallLog& log, int64_t repeats) {
    return mixer.RepeatCallLog(log, repeats);
  }
};

struct DeviceVoices {
  platform::SoundDevice& device;
  void Advance(int64_t frames) { device.SeekVoices(frames); }
  void SaveSnapshot() { device.SaveSeekSnapshot(); }
  bool MatchesSnapshot() { return device.SeekVoicesMatchSnapshot(); }
  bool SaveCheckpoint(platform::VoiceCheckpoint* checkpoint) {
    return device.SaveSeekCheckpoint(checkpoint);
  }
  bool RestoreCheckpoint(const platform::VoiceCheckpoint& checkpoint) {
    return device.RestoreSeekCheckpoint(checkpoint);
  }
  bool StartLog(platform::VoiceCallLog* log) { return device.StartSeekLog(log); }
  void StopLog() { device.StopSeekLog(); }
  bool RepeatLog(const platform::VoiceCallLog& log, int64_t repeats) {
    return device.RepeatSeekLog(log, repeats);
  }
};

}  // namespace org
