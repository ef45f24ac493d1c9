// The software mixer behind the sound device. It owns the playing state of every voice (one per
// sound buffer) and sums the playing voices into 16-bit stereo frames at the output rate:
// resampled by linear interpolation (or nearest sample), scaled by volume and pan gains,
// saturated to 16 bits. Control calls arrive as commands stamped with the fine clock; in
// real-time mode they wait in a queue and take effect at the output frame that matches their
// stamp, in offline mode they take effect at once (before the next pulled frame).
//
// Voices may belong to a group (the music engine's track): a group can be muted (its voices keep
// moving, unheard), metered (the peak of its own sum) and tapped (its own signal kept for
// oscilloscopes) and given a gain that fades linearly, frame by frame (as can the whole mix).
// A voice may play another voice's samples (a note over a song on a track's instrument).
// Offline, the mixer can also move every voice ahead without mixing (a seek).
//
// Threads: voice management and commands come from any control thread; RenderFrames runs on the
// output's thread. Two locks: the queue lock (held to push or pop a few small commands) and the
// mix lock (held while one block is mixed, and by control calls that swap a voice's samples).
// Neither is ever held during file I/O, and RenderFrames never allocates.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "runtime/platform/audio_output.h"
#include "runtime/platform/gain_ramp.h"
#include "runtime/platform/sound_interface.h"
#include "runtime/platform/voice_orbit.h"
#include "runtime/platform/voice_samples.h"

namespace platform {

enum class Interpolation { kLinear, kNearest };

// Gain in Q15 (32768 = unity) for an attenuation in hundredths of a decibel: 10^(h / 2000).
int32_t GainQ15(int32_t hundredths_db);

// A thread that runs on a schedule (the music's timer) says which moment its calls stand for:
// while the scope lives, control calls from this thread are stamped with that moment (on the
// ClockUs() line) instead of the time they are made, so a tick the system woke a few
// milliseconds late still sounds on time (as long as it is less late than the output's latency).
class ScheduledCallScope {
 public:
  explicit ScheduledCallScope(int64_t moment_us);
  ~ScheduledCallScope();
  ScheduledCallScope(const ScheduledCallScope&) = delete;
  ScheduledCallScope& operator=(const ScheduledCallScope&) = delete;

 private:
  int64_t previous_;
};

struct VoiceId {
  int slot = -1;
  uint32_t generation = 0;
};

class SoundMixer final : public AudioRenderSource {
 public:
  static constexpr int kMaxVoices = 4096;
  static constexpr int kQueueCapacity = 4096;
  static constexpr int kMaxGroups = 16;

  // `max_voices` and `queue_capacity` size the fixed tables (a song of its own needs few).
  explicit SoundMixer(int output_rate, int max_voices = kMaxVoices,
                      int queue_capacity = kQueueCapacity);
  ~SoundMixer() override;
  SoundMixer(const SoundMixer&) = delete;
  SoundMixer& operator=(const SoundMixer&) = delete;

  // Output rate in frames per second; voices keep their own rates. Any control thread.
  void SetOutputRate(int rate);
  int output_rate() const;
  // Linear interpolation is the default.
  void SetInterpolation(Interpolation mode);
  // Uses the vector kernel where the processor has one (the default); the plain loop gives the
  // same numbers, so this only matters for tests and measurements.
  void SetWideKernelEnabled(bool enabled);
  // The gain (Q15, 32768 = 0 dB, the default) applied to the mixed output before it is
  // saturated to 16 bits: at 0 dB the output is exactly what it was without it. Any thread.
  void SetOutputGain(int32_t gain_q15);
  int32_t output_gain() const { return output_gain_q15_.load(std::memory_order_relaxed); }
  // Paused: the output is silence, and nothing moves (voices keep their places, calls wait)
  // until it goes on. Any thread.
  void SetPaused(bool paused);
  bool paused() const { return paused_.load(std::memory_order_relaxed); }

  // Single-threaded: every call comes from one thread at a time (an offline song's own mixer),
  // so no lock is taken. Set before the mixer is shared, never changed afterwards.
  void SetSingleThreaded(bool single) { single_threaded_ = single; }

  // Real-time: commands wait for the frame matching their stamp. Offline (or while no stream
  // runs): applied at once; switching to it applies what still waits. A control call never waits
  // for the output: when the queue is full, its oldest call is applied at once.
  void SetRealtime(bool realtime);
  bool realtime();

  // Adds a stopped voice at position 0, full volume, centred, playing at `rate`, in `group`
  // (0..kMaxGroups - 1, or -1 for none). Returns an id whose slot is -1 when every slot is taken.
  VoiceId AddVoice(VoiceSamples samples, uint32_t rate, int group = -1);
  // Replaces a voice's samples (keeping its state; the position is kept inside the new length).
  void ReplaceSamples(VoiceId id, VoiceSamples samples);
  // Stops and removes a voice; its samples are freed on the calling thread.
  void RemoveVoice(VoiceId id);
  // The voice plays `source`'s samples (in place of its own, without copying or allocating:
  // fit for an audio callback) until it is given its own again (`source` with slot -1). A voice
  // playing another's samples stops when those are replaced or removed. False for a voice or
  // source that is not there.
  bool ShareSamples(VoiceId id, VoiceId source);

  // Control commands; the values are checked by the caller.
  void Play(VoiceId id, bool looping);
  void Stop(VoiceId id);
  void SetPosition(VoiceId id, uint32_t frame);
  void SetFrequency(VoiceId id, uint32_t rate);
  void SetVolume(VoiceId id, int32_t hundredths_db);
  void SetPan(VoiceId id, int32_t hundredths_db);

  // The voice's state as the output has it now.
  bool GetState(VoiceId id, bool* playing, bool* looping, uint32_t* frame);

  // Groups. A muted group's voices go on moving exactly as if heard, so unmuting is seamless;
  // takes effect from the next mixed frame. Any thread.
  void SetGroupMuted(int group, bool muted);
  bool group_muted(int group) const;
  // Metering: the peak of each group's own sum, over the frames mixed since the last reset.
  // Off by default; while on, each group is summed on its own before it joins the mix (the
  // output is the same). Control thread, not while a block is being mixed elsewhere.
  void SetGroupMetering(bool on);
  void ResetGroupPeaks();
  // Peak of |left| and |right| of the group's sum since the last reset (mixer units, 32768 is
  // full scale; a loud group may exceed it).
  int32_t GroupPeak(int group);
  // Taps: the last `frames` frames of each group's own signal, mono ((left + right) / 2), kept
  // while on (0 turns them off and frees them). Allocates: control thread only.
  void SetGroupTapFrames(int frames);
  int group_tap_frames() const { return tap_frames_; }
  // Copies the newest min(count, tap frames) values of a group's tap, oldest first; returns how
  // many were copied (fewer than asked only when less has been mixed since the taps began).
  int CopyGroupTap(int group, int32_t* mono, int count);

  // Gains (0..32768, Q15) of a group's sum and of the whole mix (before the output gain),
  // moving linearly from the gain the next mixed frame would have to `target_q15` over
  // `frames` frames (the frame `frames` after the call is the first at the target). Composed
  // with mute (a muted group stays silent; its gain keeps moving). At unity the mix is the
  // very numbers it is without gains. Any thread; no allocation.
  void SetGroupGain(int group, int32_t target_q15, int64_t frames);
  int32_t group_gain(int group);
  void SetMasterGain(int32_t target_q15, int64_t frames);
  int32_t master_gain();
  // Every gain at its target at once (a seek passes over the ramps).
  void FinishGainRamps();

  // Offline only: every playing voice moves `frames` output frames ahead as if mixed (loops
  // wrap, one-shot voices end), in time proportional to the voices, not to the frames.
  void AdvanceFrames(int64_t frames);
  // Every voice back to how it was made: stopped at position 0, its own rate, full volume,
  // centred. Offline only.
  void ResetAllVoices();
  // Offline: keeps the playing state of every voice (which voices exist, playing or not,
  // looping, position, rate, volume, pan), and compares the state now with the one kept: a seek
  // finds where a song's sound repeats. Never allocates (the room is made at construction).
  void SaveVoiceSnapshot();
  bool VoicesMatchSnapshot();
  // Offline: keeps every voice's playing state in `checkpoint` (reusing its room), and puts it
  // back: false, with nothing changed, when the voices in use (slots and generations) are not
  // the ones kept. Taps start again empty, as after AdvanceFrames.
  void SaveCheckpoint(VoiceCheckpoint* checkpoint);
  bool RestoreCheckpoint(const VoiceCheckpoint& checkpoint);
  // Offline: from now on every call applied is also written into `log` (voice by voice, with
  // the output frames AdvanceFrames has moved since), until StopCallLog closes it. A voice made,
  // released or given other samples meanwhile, a checkpoint put back or a mixed frame spoils it.
  void StartCallLog(VoiceCallLog* log);
  void StopCallLog();
  // Offline: every voice moves as `repeats` more replays of the logged stretch would move it
  // (the same calls at the same frames of each replay, AdvanceFrames between them), in time that
  // does not grow with `repeats`. False, with nothing changed, when the log is spoilt, the voices
  // in use are not the logged ones, or a voice's path is too involved to work out.
  bool RepeatCallLog(const VoiceCallLog& log, int64_t repeats);
  // Offline: the next `frames` frames before the 16-bit saturation (after the output gain).
  void RenderUnsaturated(int32_t* stereo, int frames);

  // Number of voices playing now.
  int ActiveVoiceCount();

  void RenderFrames(int16_t* stereo, int frames, const BlockTiming* timing) override;

 private:
  using CommandType = VoiceCall;
  struct Command {
    int64_t stamp_us = 0;
    int slot = -1;
    uint32_t generation = 0;
    CommandType type = CommandType::kStop;
    int32_t value = 0;
    int frame_offset = 0;  // set when taken for a block
  };
  struct Voice;
  // What of the voice in `slot` changes while it plays (its samples never do), as a checkpoint
  // and the seek's snapshot keep it (the gains follow from volume and pan). Mix lock held.
  VoiceCheckpoint::Voice KeptVoiceOf(size_t slot) const;
  // Every voice in use into `kept`, reusing its room. Mix lock held.
  void KeepVoices(VoiceCheckpoint* kept) const;
  // Voices moved without mixing: the taps start again empty. Mix lock held.
  void ClearTaps();
  // The voice's place and motion set as `kept` has them (its gains worked out anew when mixed).
  static void PutBack(Voice& voice, const VoiceCheckpoint::Voice& kept);
  static void RefreshGains(Voice& voice);

  void Submit(VoiceId id, CommandType type, int32_t value);
  void ApplyCommand(const Command& command);  // mix lock held
  void Activate(Voice& voice, int slot);      // mix lock held
  void Deactivate(Voice& voice);              // mix lock held
  void RecomputeStep(Voice& voice);           // mix lock held
  int TakeDueCommands(int frames, const BlockTiming* timing);
  // Mixes one chunk into the accumulator; then saturates it into `stereo` or copies it whole
  // into `wide` (one of them is given).
  void RenderChunk(int16_t* stereo, int32_t* wide, int frames, const BlockTiming* timing);
  void MixSegment(int first_frame, int frame_count);         // mix lock held
  void MixSegmentByGroup(int first_frame, int frame_count);  // mix lock held
  void MixVoice(Voice& voice, int32_t* accumulator, int frames, bool silent);
  bool GroupMuted(int group) const;
  bool AnyGroupGain() const;   // mix lock held
  void StopSharers(int slot);  // mix lock held
  void AppendTap(int group, const int32_t* accumulator, int frames);
  template <int kChannels, bool kLinear>
  void MixRun(Voice& voice, int32_t* accumulator, int frames);

  // Takes the lock unless the mixer is single-threaded.
  class Guard {
   public:
    Guard(std::mutex& mutex, bool single_threaded) : mutex_(single_threaded ? nullptr : &mutex) {
      if (mutex_) mutex_->lock();
    }
    ~Guard() {
      if (mutex_) mutex_->unlock();
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    std::mutex* mutex_;
  };

  bool single_threaded_ = false;
  VoiceCallLog* log_ = nullptr;  // mix lock
  uint32_t last_rate_ = 0;       // the last rate RecomputeStep divided, and its step
  int last_output_rate_ = 0;
  uint64_t last_step_ = 0;
  std::atomic<int32_t> output_gain_q15_{32768};
  std::atomic<uint32_t> muted_groups_{0};  // bit g: group g is muted
  std::atomic<bool> paused_{false};
  std::mutex mix_mutex_;  // voices, active list, output rate, accumulator
  std::vector<Voice> voices_;
  VoiceCheckpoint snapshot_;  // room for every voice slot, made at construction
  std::vector<int> free_slots_;
  std::vector<int> active_;  // slots of playing voices
  int active_count_ = 0;
  std::vector<int32_t> accumulator_;
  int output_rate_;
  bool wide_kernel_;
  Interpolation interpolation_ = Interpolation::kLinear;
  bool metering_ = false;
  GainRamp group_gains_[kMaxGroups];
  GainRamp master_gain_;
  bool group_gains_on_ = false;  // some group's gain is not neutral
  std::vector<int32_t> group_accumulator_;
  int32_t group_peaks_[kMaxGroups] = {};
  int tap_frames_ = 0;
  std::vector<int32_t> taps_;  // kMaxGroups rings of tap_frames_ values
  int64_t tap_written_ = 0;    // frames appended to every ring since the taps began
  int queue_capacity_;

  std::mutex queue_mutex_;  // the pending command ring and the realtime flag
  std::vector<Command> queue_;
  int queue_head_ = 0;
  int queue_size_ = 0;
  int64_t last_stamp_us_ = 0;  // the newest stamp queued: stamps never go backwards
  bool realtime_ = false;
  std::vector<Command> due_;  // commands taken for the block being rendered (output thread)
};

}  // namespace platform
