#include "runtime/platform/sound_mixer.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "runtime/platform/audio_output.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/sound_mixer_simd.h"

namespace platform {
namespace {

constexpr int kChunkFrames = 1024;

// The moment this thread's calls stand for, or 0 for "now".
thread_local int64_t t_scheduled_call_us = 0;

}  // namespace

struct SoundMixer::Voice {
  VoiceSamples data;
  const VoiceSamples* shared = nullptr;  // another voice's samples played instead of `data`
  int shared_slot = -1;
  const VoiceSamples& samples() const { return shared ? *shared : data; }
  bool in_use = false;
  uint32_t generation = 0;
  bool playing = false;
  bool looping = false;
  uint64_t position = 0;  // frames in 32.32 fixed point
  uint64_t step = 0;      // position advance per output frame, 32.32
  uint32_t rate = 0;
  int32_t volume = 0;
  int32_t pan = 0;
  // The gains (Q15) volume and pan give, worked out when the voice is next mixed: a seek moves
  // volumes and pans at every step without mixing, and a gain costs a power of ten.
  int32_t gain_left = 32768;
  int32_t gain_right = 32768;
  bool gains_stale = false;
  int active_index = -1;
  int group = -1;
  uint32_t initial_rate = 0;
};

ScheduledCallScope::ScheduledCallScope(int64_t moment_us) : previous_(t_scheduled_call_us) {
  t_scheduled_call_us = moment_us;
}

ScheduledCallScope::~ScheduledCallScope() { t_scheduled_call_us = previous_; }

int32_t GainQ15(int32_t hundredths_db) {
  return static_cast<int32_t>(std::lround(32768.0 * std::pow(10.0, hundredths_db / 2000.0)));
}

SoundMixer::SoundMixer(int output_rate, int max_voices, int queue_capacity)
    : voices_(static_cast<size_t>(std::max(max_voices, 1))),
      active_(voices_.size()),
      accumulator_(2 * kChunkFrames),
      output_rate_(output_rate > 0 ? output_rate : kDefaultOutputRate),
      wide_kernel_(HasWideMixKernel()),
      // Made here, as a group's gain may come from an audio callback, which never allocates.
      group_accumulator_(2 * kChunkFrames),
      queue_capacity_(std::max(queue_capacity, 1)),
      queue_(static_cast<size_t>(queue_capacity_)),
      due_(static_cast<size_t>(queue_capacity_)) {
  snapshot_.voices.reserve(voices_.size());
  snapshot_.active.reserve(voices_.size());
  free_slots_.reserve(voices_.size());
  for (int slot = static_cast<int>(voices_.size()) - 1; slot >= 0; --slot)
    free_slots_.push_back(slot);
}

SoundMixer::~SoundMixer() = default;

void SoundMixer::SetOutputRate(int rate) {
  const Guard lock(mix_mutex_, single_threaded_);
  if (rate <= 0) return;
  output_rate_ = rate;
  for (Voice& voice : voices_)
    if (voice.in_use) RecomputeStep(voice);
}

int SoundMixer::output_rate() const { return output_rate_; }

void SoundMixer::SetInterpolation(Interpolation mode) {
  const Guard lock(mix_mutex_, single_threaded_);
  interpolation_ = mode;
}

void SoundMixer::SetWideKernelEnabled(bool enabled) {
  const Guard lock(mix_mutex_, single_threaded_);
  wide_kernel_ = enabled && HasWideMixKernel();
}

void SoundMixer::SetRealtime(bool realtime) {
  const Guard lock(queue_mutex_, single_threaded_);
  realtime_ = realtime;
  if (realtime) return;
  // Calls still waiting for a stream that no longer runs take effect now, in their order.
  const Guard mix_lock(mix_mutex_, single_threaded_);
  for (; queue_size_ > 0; --queue_size_) {
    ApplyCommand(queue_[queue_head_]);
    queue_head_ = (queue_head_ + 1) % queue_capacity_;
  }
}

bool SoundMixer::realtime() {
  const Guard lock(queue_mutex_, single_threaded_);
  return realtime_;
}

VoiceId SoundMixer::AddVoice(VoiceSamples samples, uint32_t rate, int group) {
  assert(samples.frames > 0);
  const Guard lock(mix_mutex_, single_threaded_);
  if (free_slots_.empty()) return {};
  const int slot = free_slots_.back();
  free_slots_.pop_back();
  if (log_) log_->Spoil();
  Voice& voice = voices_[slot];
  const uint32_t generation = voice.generation + 1;
  voice = Voice{};
  voice.generation = generation;
  voice.in_use = true;
  voice.data = std::move(samples);
  voice.rate = rate;
  voice.initial_rate = rate;
  voice.group = group >= 0 && group < kMaxGroups ? group : -1;
  RecomputeStep(voice);
  return {slot, generation};
}

void SoundMixer::ReplaceSamples(VoiceId id, VoiceSamples samples) {
  {
    const Guard lock(mix_mutex_, single_threaded_);
    Voice& voice = voices_[id.slot];
    if (!voice.in_use || voice.generation != id.generation || samples.frames == 0) return;
    if (log_) log_->Spoil();
    std::swap(voice.data, samples);
    const uint64_t end = uint64_t{voice.data.frames} << 32;
    if (voice.position >= end) voice.position = 0;
    StopSharers(id.slot);
  }
  // `samples` now holds the old content; it is freed here, outside the lock.
}

void SoundMixer::RemoveVoice(VoiceId id) {
  VoiceSamples released;
  const Guard lock(mix_mutex_, single_threaded_);
  Voice& voice = voices_[id.slot];
  if (!voice.in_use || voice.generation != id.generation) return;
  if (log_) log_->Spoil();
  Deactivate(voice);
  std::swap(released, voice.data);
  voice.shared = nullptr;
  voice.shared_slot = -1;
  voice.in_use = false;
  voice.playing = false;
  free_slots_.push_back(id.slot);
  StopSharers(id.slot);
}

void SoundMixer::StopSharers(int slot) {
  for (Voice& voice : voices_) {
    if (voice.shared_slot != slot) continue;
    voice.shared = nullptr;
    voice.shared_slot = -1;
    voice.playing = false;
    voice.position = 0;
    Deactivate(voice);
  }
}

bool SoundMixer::ShareSamples(VoiceId id, VoiceId source) {
  const Guard lock(mix_mutex_, single_threaded_);
  if (id.slot < 0 || id.slot >= static_cast<int>(voices_.size())) return false;
  Voice& voice = voices_[id.slot];
  if (!voice.in_use || voice.generation != id.generation) return false;
  if (log_) log_->Spoil();
  if (source.slot < 0) {
    voice.shared = nullptr;
    voice.shared_slot = -1;
  } else {
    if (source.slot >= static_cast<int>(voices_.size())) return false;
    const Voice& from = voices_[source.slot];
    if (!from.in_use || from.generation != source.generation || from.shared) return false;
    voice.shared = &from.data;
    voice.shared_slot = source.slot;
  }
  const uint64_t end = uint64_t{voice.samples().frames} << 32;
  if (voice.position >= end) voice.position = 0;
  return true;
}

void SoundMixer::Play(VoiceId id, bool looping) { Submit(id, CommandType::kPlay, looping ? 1 : 0); }
void SoundMixer::Stop(VoiceId id) { Submit(id, CommandType::kStop, 0); }
void SoundMixer::SetPosition(VoiceId id, uint32_t frame) {
  Submit(id, CommandType::kPosition, static_cast<int32_t>(frame));
}
void SoundMixer::SetFrequency(VoiceId id, uint32_t rate) {
  Submit(id, CommandType::kFrequency, static_cast<int32_t>(rate));
}
void SoundMixer::SetVolume(VoiceId id, int32_t hundredths_db) {
  Submit(id, CommandType::kVolume, hundredths_db);
}
void SoundMixer::SetPan(VoiceId id, int32_t hundredths_db) {
  Submit(id, CommandType::kPan, hundredths_db);
}

bool SoundMixer::GetState(VoiceId id, bool* playing, bool* looping, uint32_t* frame) {
  const Guard lock(mix_mutex_, single_threaded_);
  const Voice& voice = voices_[id.slot];
  if (!voice.in_use || voice.generation != id.generation) return false;
  if (playing) *playing = voice.playing;
  if (looping) *looping = voice.looping;
  if (frame) *frame = static_cast<uint32_t>(voice.position >> 32);
  return true;
}

int SoundMixer::ActiveVoiceCount() {
  const Guard lock(mix_mutex_, single_threaded_);
  return active_count_;
}

void SoundMixer::Submit(VoiceId id, CommandType type, int32_t value) {
  Command command;
  command.slot = id.slot;
  command.generation = id.generation;
  command.type = type;
  command.value = value;
  const Guard queue_lock(queue_mutex_, single_threaded_);
  if (!realtime_) {
    // Offline, or no stream running: nothing pulls, so the call takes effect before the next
    // frame.
    const Guard mix_lock(mix_mutex_, single_threaded_);
    ApplyCommand(command);
    return;
  }
  if (queue_size_ == queue_capacity_) {
    // The output has stopped pulling (or fell far behind): the oldest call takes effect now to
    // make room. The caller never waits for the output, and the order of calls is kept.
    const Command oldest = queue_[queue_head_];
    queue_head_ = (queue_head_ + 1) % queue_capacity_;
    --queue_size_;
    const Guard mix_lock(mix_mutex_, single_threaded_);
    ApplyCommand(oldest);
  }
  // The stamp is taken under the queue lock and never goes below the newest one queued, so the
  // queue stays in stamp order.
  const int64_t moment = t_scheduled_call_us != 0 ? t_scheduled_call_us : ClockUs();
  command.stamp_us = std::max(moment, last_stamp_us_);
  last_stamp_us_ = command.stamp_us;
  queue_[(queue_head_ + queue_size_) % queue_capacity_] = command;
  ++queue_size_;
}

void SoundMixer::RecomputeStep(Voice& voice) {
  // The buffers of a note are tuned to the same rate one after another: one division serves.
  if (voice.rate != last_rate_ || output_rate_ != last_output_rate_) {
    last_rate_ = voice.rate;
    last_output_rate_ = output_rate_;
    last_step_ = StepForRate(voice.rate, output_rate_);
  }
  voice.step = last_step_;
}

void SoundMixer::Activate(Voice& voice, int slot) {
  if (voice.active_index >= 0) return;
  voice.active_index = active_count_;
  active_[active_count_++] = slot;
}

void SoundMixer::Deactivate(Voice& voice) {
  if (voice.active_index < 0) return;
  const int last_slot = active_[--active_count_];
  active_[voice.active_index] = last_slot;
  voices_[last_slot].active_index = voice.active_index;
  voice.active_index = -1;
}

void SoundMixer::ApplyCommand(const Command& command) {
  Voice& voice = voices_[command.slot];
  if (!voice.in_use || voice.generation != command.generation) return;  // released meanwhile
  switch (command.type) {
    case CommandType::kPlay:
      voice.looping = command.value != 0;
      if (!voice.playing) {
        voice.playing = true;
        Activate(voice, command.slot);
      }
      break;
    case CommandType::kStop:
      voice.playing = false;
      Deactivate(voice);
      break;
    case CommandType::kPosition: {
      const uint32_t frame =
          std::min(static_cast<uint32_t>(command.value), voice.samples().frames - 1);
      voice.position = uint64_t{frame} << 32;
      break;
    }
    case CommandType::kFrequency:
      voice.rate = static_cast<uint32_t>(command.value);
      RecomputeStep(voice);
      break;
    case CommandType::kVolume:
      if (voice.volume == command.value) return;  // the gains stand as they are
      voice.volume = command.value;
      break;
    case CommandType::kPan:
      if (voice.pan == command.value) return;
      voice.pan = command.value;
      break;
    case CommandType::kNone:
      return;
  }
  if (command.type == CommandType::kVolume || command.type == CommandType::kPan)
    voice.gains_stale = true;
  if (!log_) return;
  if (log_->follows_motion()) {
    log_->Called(command.slot, command.type, command.value,
                 KeptVoiceOf(static_cast<size_t>(command.slot)));
  } else {
    log_->Touched(command.slot, command.generation, command.type);
  }
}

void SoundMixer::RefreshGains(Voice& voice) {
  if (!voice.gains_stale) return;
  // A pan towards one side attenuates the other side only.
  voice.gain_left = GainQ15(voice.volume - std::max(voice.pan, 0));
  voice.gain_right = GainQ15(voice.volume + std::min(voice.pan, 0));
  voice.gains_stale = false;
}

int SoundMixer::TakeDueCommands(int frames, const BlockTiming* timing) {
  const Guard lock(queue_mutex_, single_threaded_);
  int taken = 0;
  while (taken < queue_size_) {
    Command& command = queue_[(queue_head_ + taken) % queue_capacity_];
    int offset = 0;
    if (timing) {
      if (command.stamp_us >= timing->end_us) break;  // belongs to a later block
      const int64_t span = std::max<int64_t>(timing->end_us - timing->start_us, 1);
      const int64_t into = command.stamp_us - timing->start_us;
      offset =
          into <= 0 ? 0 : static_cast<int>(std::min<int64_t>(into * frames / span, frames - 1));
    }
    command.frame_offset = offset;
    due_[taken] = command;
    ++taken;
  }
  queue_head_ = (queue_head_ + taken) % queue_capacity_;
  queue_size_ -= taken;
  return taken;
}

void SoundMixer::SetOutputGain(int32_t gain_q15) {
  output_gain_q15_.store(std::max(gain_q15, 0), std::memory_order_relaxed);
}

void SoundMixer::SetPaused(bool paused) { paused_.store(paused, std::memory_order_relaxed); }

void SoundMixer::RenderFrames(int16_t* stereo, int frames, const BlockTiming* timing) {
  if (paused_.load(std::memory_order_relaxed)) {
    std::fill(stereo, stereo + 2 * static_cast<size_t>(frames), int16_t{0});
    return;
  }
  for (int done = 0; done < frames;) {
    const int count = std::min(kChunkFrames, frames - done);
    if (timing) {
      const int64_t span = timing->end_us - timing->start_us;
      BlockTiming part{timing->start_us + span * done / frames,
                       timing->start_us + span * (done + count) / frames};
      RenderChunk(stereo + 2 * done, nullptr, count, &part);
    } else {
      RenderChunk(stereo + 2 * done, nullptr, count, nullptr);
    }
    done += count;
  }
}

void SoundMixer::RenderUnsaturated(int32_t* stereo, int frames) {
  if (paused_.load(std::memory_order_relaxed)) {
    std::fill(stereo, stereo + 2 * static_cast<size_t>(frames), 0);
    return;
  }
  for (int done = 0; done < frames;) {
    const int count = std::min(kChunkFrames, frames - done);
    RenderChunk(nullptr, stereo + 2 * done, count, nullptr);
    done += count;
  }
}

void SoundMixer::RenderChunk(int16_t* stereo, int32_t* wide, int frames,
                             const BlockTiming* timing) {
  const int due = TakeDueCommands(frames, timing);
  const Guard lock(mix_mutex_, single_threaded_);
  if (log_) log_->Spoil();
  std::fill(accumulator_.begin(), accumulator_.begin() + 2 * frames, 0);
  int cursor = 0;
  for (int i = 0; i < due; ++i) {
    const int at = due_[i].frame_offset;
    if (at > cursor) {
      MixSegment(cursor, at - cursor);
      cursor = at;
    }
    ApplyCommand(due_[i]);
  }
  MixSegment(cursor, frames - cursor);
  if (!master_gain_.neutral()) master_gain_.Apply(accumulator_.data(), frames);
  const int32_t gain = output_gain_q15_.load(std::memory_order_relaxed);
  if (gain != 32768) {
    for (int i = 0; i < 2 * frames; ++i)
      accumulator_[i] = static_cast<int32_t>((int64_t{accumulator_[i]} * gain) >> 15);
  }
  if (wide) {
    std::copy_n(accumulator_.data(), 2 * frames, wide);
  } else {
    SaturateToInt16(accumulator_.data(), stereo, 2 * frames);
  }
}

void SoundMixer::MixSegment(int first_frame, int frame_count) {
  if (frame_count <= 0) return;
  if (metering_ || tap_frames_ > 0 || AnyGroupGain()) {
    MixSegmentByGroup(first_frame, frame_count);
    return;
  }
  // Backwards, so that a voice that ends and leaves the list never causes one to be skipped.
  for (int i = active_count_ - 1; i >= 0; --i) {
    Voice& voice = voices_[active_[i]];
    MixVoice(voice, accumulator_.data() + 2 * first_frame, frame_count, GroupMuted(voice.group));
  }
}

// Each group is summed on its own, then added to the mix: integer sums, so the mix is the same
// numbers as when every voice goes straight into it.
void SoundMixer::MixSegmentByGroup(int first_frame, int frame_count) {
  int32_t* mix = accumulator_.data() + 2 * first_frame;
  bool group_active[kMaxGroups] = {};
  for (int i = active_count_ - 1; i >= 0; --i) {
    Voice& voice = voices_[active_[i]];
    if (voice.group < 0) {
      MixVoice(voice, mix, frame_count, false);
    } else {
      group_active[voice.group] = true;
    }
  }
  int32_t* sum = group_accumulator_.data();
  for (int group = 0; group < kMaxGroups; ++group) {
    GainRamp& gain = group_gains_[group];
    // A group whose gain stays at 0 is as silent as a muted one: its voices only move on.
    const bool muted = GroupMuted(group) || gain.silent();
    if (group_active[group] && !muted) std::fill(sum, sum + 2 * frame_count, 0);
    for (int i = active_count_ - 1; group_active[group] && i >= 0; --i) {
      Voice& voice = voices_[active_[i]];
      if (voice.group == group) MixVoice(voice, sum, frame_count, muted);
    }
    if (!group_active[group] || muted) {
      gain.Advance(frame_count);
      AppendTap(group, nullptr, frame_count);
      continue;
    }
    if (!gain.neutral()) gain.Apply(sum, frame_count);
    group_peaks_[group] =
        std::max(group_peaks_[group], AddAndPeak(sum, mix, 2 * frame_count, wide_kernel_));
    AppendTap(group, sum, frame_count);
  }
  if (tap_frames_ > 0) tap_written_ += frame_count;
}

void SoundMixer::AppendTap(int group, const int32_t* sum, int frames) {
  if (tap_frames_ == 0) return;
  int32_t* ring = taps_.data() + static_cast<size_t>(group) * static_cast<size_t>(tap_frames_);
  int at = static_cast<int>(tap_written_ % tap_frames_);
  for (int i = 0; i < frames; ++i) {
    ring[at] = sum ? (sum[2 * i] + sum[2 * i + 1]) / 2 : 0;
    if (++at == tap_frames_) at = 0;
  }
}

bool SoundMixer::GroupMuted(int group) const {
  return group >= 0 && (muted_groups_.load(std::memory_order_relaxed) >> group) & 1u;
}

void SoundMixer::SetGroupMuted(int group, bool muted) {
  if (group < 0 || group >= kMaxGroups) return;
  const uint32_t bit = 1u << group;
  if (muted) {
    muted_groups_.fetch_or(bit, std::memory_order_relaxed);
  } else {
    muted_groups_.fetch_and(~bit, std::memory_order_relaxed);
  }
}

bool SoundMixer::group_muted(int group) const { return GroupMuted(group); }

bool SoundMixer::AnyGroupGain() const {
  if (!group_gains_on_) return false;
  for (const GainRamp& gain : group_gains_)
    if (!gain.neutral()) return true;
  return false;
}

void SoundMixer::SetGroupGain(int group, int32_t target_q15, int64_t frames) {
  if (group < 0 || group >= kMaxGroups) return;
  const Guard lock(mix_mutex_, single_threaded_);
  group_gains_[group].Start(target_q15, frames);
  group_gains_on_ = true;
}

int32_t SoundMixer::group_gain(int group) {
  if (group < 0 || group >= kMaxGroups) return GainRamp::kUnity;
  const Guard lock(mix_mutex_, single_threaded_);
  return group_gains_[group].gain();
}

void SoundMixer::SetMasterGain(int32_t target_q15, int64_t frames) {
  const Guard lock(mix_mutex_, single_threaded_);
  master_gain_.Start(target_q15, frames);
}

int32_t SoundMixer::master_gain() {
  const Guard lock(mix_mutex_, single_threaded_);
  return master_gain_.gain();
}

void SoundMixer::FinishGainRamps() {
  const Guard lock(mix_mutex_, single_threaded_);
  for (GainRamp& gain : group_gains_) gain.Finish();
  master_gain_.Finish();
}

void SoundMixer::SetGroupMetering(bool on) {
  const Guard lock(mix_mutex_, single_threaded_);
  metering_ = on;
}

void SoundMixer::ResetGroupPeaks() {
  const Guard lock(mix_mutex_, single_threaded_);
  std::fill(std::begin(group_peaks_), std::end(group_peaks_), 0);
}

int32_t SoundMixer::GroupPeak(int group) {
  if (group < 0 || group >= kMaxGroups) return 0;
  const Guard lock(mix_mutex_, single_threaded_);
  return group_peaks_[group];
}

void SoundMixer::SetGroupTapFrames(int frames) {
  std::vector<int32_t> rings(static_cast<size_t>(std::max(frames, 0)) * kMaxGroups);
  const Guard lock(mix_mutex_, single_threaded_);
  std::swap(taps_, rings);
  tap_frames_ = std::max(frames, 0);
  tap_written_ = 0;
  // The old rings are freed here, under the lock: this call is the control thread's alone.
}

int SoundMixer::CopyGroupTap(int group, int32_t* mono, int count) {
  const Guard lock(mix_mutex_, single_threaded_);
  if (group < 0 || group >= kMaxGroups || tap_frames_ == 0 || count <= 0) return 0;
  const int available = static_cast<int>(std::min<int64_t>(tap_written_, tap_frames_));
  const int n = std::min(count, available);
  const int32_t* ring =
      taps_.data() + static_cast<size_t>(group) * static_cast<size_t>(tap_frames_);
  int64_t from = tap_written_ - n;
  for (int i = 0; i < n; ++i, ++from) mono[i] = ring[from % tap_frames_];
  return n;
}

void SoundMixer::AdvanceFrames(int64_t frames) {
  if (frames <= 0) return;
  const Guard lock(mix_mutex_, single_threaded_);
  if (log_) log_->Advance(frames);
  for (int i = active_count_ - 1; i >= 0; --i) {
    Voice& voice = voices_[active_[i]];
    const uint64_t end = uint64_t{voice.samples().frames} << 32;
    const VoiceTravel travel =
        static_cast<VoiceTravel>(voice.step) * static_cast<VoiceTravel>(frames);
    // Mixing wraps a looping voice at the end each time it is reached (the same as one
    // remainder) and stops a one-shot voice there.
    if (MoveAlongSamples(voice, end, travel)) Deactivate(voice);
  }
  ClearTaps();
}

VoiceCheckpoint::Voice SoundMixer::KeptVoiceOf(size_t slot) const {
  const Voice& v = voices_[slot];
  return {v.position, v.step,   static_cast<int32_t>(slot), v.generation, v.rate, v.volume, v.pan,
          v.playing,  v.looping};
}

void SoundMixer::KeepVoices(VoiceCheckpoint* kept) const {
  kept->voices.clear();
  for (size_t slot = 0; slot < voices_.size(); ++slot)
    if (voices_[slot].in_use) kept->voices.push_back(KeptVoiceOf(slot));
  kept->active.assign(active_.begin(), active_.begin() + active_count_);
}

void SoundMixer::PutBack(Voice& voice, const VoiceCheckpoint::Voice& kept) {
  voice.position = kept.position;
  voice.step = kept.step;
  voice.rate = kept.rate;
  voice.volume = kept.volume;
  voice.pan = kept.pan;
  voice.gains_stale = true;
  voice.playing = kept.playing;
  voice.looping = kept.looping;
}

void SoundMixer::SaveVoiceSnapshot() {
  const Guard lock(mix_mutex_, single_threaded_);
  KeepVoices(&snapshot_);
}

bool SoundMixer::VoicesMatchSnapshot() {
  const Guard lock(mix_mutex_, single_threaded_);
  size_t kept = 0;
  for (size_t slot = 0; slot < voices_.size(); ++slot) {
    if (!voices_[slot].in_use) continue;
    if (kept >= snapshot_.voices.size() || !(KeptVoiceOf(slot) == snapshot_.voices[kept]))
      return false;
    ++kept;
  }
  return kept == snapshot_.voices.size();
}

void SoundMixer::SaveCheckpoint(VoiceCheckpoint* checkpoint) {
  const Guard lock(mix_mutex_, single_threaded_);
  KeepVoices(checkpoint);
}

bool SoundMixer::RestoreCheckpoint(const VoiceCheckpoint& checkpoint) {
  const Guard lock(mix_mutex_, single_threaded_);
  if (log_) log_->Spoil();
  size_t kept = 0;
  for (size_t slot = 0; slot < voices_.size(); ++slot) {
    const Voice& v = voices_[slot];
    if (!v.in_use) continue;
    if (kept >= checkpoint.voices.size() ||
        checkpoint.voices[kept].slot != static_cast<int32_t>(slot) ||
        checkpoint.voices[kept].generation != v.generation)
      return false;
    ++kept;
  }
  if (kept != checkpoint.voices.size()) return false;
  for (int i = active_count_ - 1; i >= 0; --i) Deactivate(voices_[active_[i]]);
  for (const VoiceCheckpoint::Voice& kept_voice : checkpoint.voices)
    PutBack(voices_[static_cast<size_t>(kept_voice.slot)], kept_voice);
  for (const int32_t slot : checkpoint.active) Activate(voices_[static_cast<size_t>(slot)], slot);
  ClearTaps();
  return true;
}

void SoundMixer::ClearTaps() {
  if (tap_frames_ == 0) return;
  std::fill(taps_.begin(), taps_.end(), 0);
  tap_written_ = 0;
}

void SoundMixer::StartCallLog(VoiceCallLog* log) {
  const Guard lock(mix_mutex_, single_threaded_);
  log_ = log;
  for (size_t slot = 0; slot < voices_.size(); ++slot)
    if (voices_[slot].in_use) log->Begin(KeptVoiceOf(slot), voices_[slot].samples().frames);
}

void SoundMixer::StopCallLog() {
  const Guard lock(mix_mutex_, single_threaded_);
  if (log_) log_->End();
  log_ = nullptr;
}

bool SoundMixer::RepeatCallLog(const VoiceCallLog& log, int64_t repeats) {
  if (log.spoilt() || repeats < 0) return false;
  const Guard lock(mix_mutex_, single_threaded_);
  // Every voice is worked out before any moves: a failure changes nothing.
  std::vector<VoiceCheckpoint::Voice> moved;
  moved.reserve(log.voices().size());
  // Marks worked through, over every voice: at most what replaying the repeats would go
  // through, and never more than some 2^27 (some hundreds of ms; a dense song whose voices
  // settle often at a rate whose ticks' places within a frame recur only after 125 repeats
  // takes some 40 million once, and its later seeks look their repeats up).
  int64_t budget = int64_t{1} << 27;
  if (repeats < (int64_t{1} << 27)) {
    const int64_t replayed = repeats * static_cast<int64_t>(log.marks());
    budget = std::clamp<int64_t>(replayed, int64_t{1} << 24, budget);
  }
  size_t logged = 0;
  for (size_t slot = 0; slot < voices_.size(); ++slot) {
    const Voice& voice = voices_[slot];
    if (!voice.in_use) continue;
    if (logged >= log.voices().size()) return false;
    const LoggedVoice& from = log.voices()[logged++];
    if (from.slot != static_cast<int32_t>(slot) || from.generation != voice.generation ||
        from.sample_frames != voice.samples().frames)
      return false;
    VoiceCheckpoint::Voice motion = KeptVoiceOf(slot);
    if (!RepeatVoice(from, repeats, log.phases(), &motion, &budget)) return false;
    moved.push_back(motion);
  }
  if (logged != log.voices().size()) return false;
  for (const VoiceCheckpoint::Voice& motion : moved) {
    Voice& voice = voices_[static_cast<size_t>(motion.slot)];
    PutBack(voice, motion);
    if (voice.playing) {
      Activate(voice, motion.slot);
    } else {
      Deactivate(voice);
    }
  }
  ClearTaps();
  return true;
}

void SoundMixer::ResetAllVoices() {
  const Guard lock(mix_mutex_, single_threaded_);
  if (log_) log_->Spoil();
  for (size_t slot = 0; slot < voices_.size(); ++slot) {
    Voice& voice = voices_[slot];
    if (!voice.in_use) continue;
    Deactivate(voice);
    voice.playing = false;
    voice.looping = false;
    voice.position = 0;
    voice.rate = voice.initial_rate;
    RecomputeStep(voice);
    voice.volume = 0;
    voice.pan = 0;
    voice.gain_left = 32768;
    voice.gain_right = 32768;
    voice.gains_stale = false;
  }
}

void SoundMixer::MixVoice(Voice& voice, int32_t* accumulator, int frames, bool silent) {
  RefreshGains(voice);
  const VoiceSamples& data = voice.samples();
  const uint64_t end = uint64_t{data.frames} << 32;
  const bool linear = interpolation_ == Interpolation::kLinear;
  while (frames > 0 && voice.playing) {
    // A one-shot voice has nothing after its last sample to glide towards (the guard frame is
    // the loop's way back to the start), so its last sample is held instead.
    const uint64_t glide_end = voice.looping ? end : end - (uint64_t{1} << 32);
    const bool interpolate = linear && voice.position < glide_end;
    const uint64_t run_end = interpolate ? glide_end : end;
    const uint64_t frames_to_end = (run_end - voice.position + voice.step - 1) / voice.step;
    const int run =
        static_cast<int>(std::min<uint64_t>(frames_to_end, static_cast<uint64_t>(frames)));
    if (silent || (voice.gain_left == 0 && voice.gain_right == 0)) {
      voice.position += voice.step * static_cast<uint64_t>(run);  // inaudible: only advance
    } else if (data.channels == 1 && interpolate && wide_kernel_) {
      voice.position = MixMonoLinearWide(data.samples.data(), voice.position, voice.step,
                                         voice.gain_left, voice.gain_right, accumulator, run);
    } else if (data.channels == 1) {
      interpolate ? MixRun<1, true>(voice, accumulator, run)
                  : MixRun<1, false>(voice, accumulator, run);
    } else {
      interpolate ? MixRun<2, true>(voice, accumulator, run)
                  : MixRun<2, false>(voice, accumulator, run);
    }
    accumulator += 2 * run;
    frames -= run;
    if (voice.position < end) continue;
    if (voice.looping) {
      voice.position %= end;
    } else {
      // Played once to its end: stopped, and back at its start for the next play.
      voice.playing = false;
      voice.position = 0;
      Deactivate(voice);
    }
  }
}

template <int kChannels, bool kLinear>
void SoundMixer::MixRun(Voice& voice, int32_t* accumulator, int frames) {
  const int16_t* data = voice.samples().samples.data();
  uint64_t position = voice.position;
  const uint64_t step = voice.step;
  const int32_t gain_left = voice.gain_left;
  const int32_t gain_right = voice.gain_right;
  for (int i = 0; i < frames; ++i) {
    const size_t index = static_cast<size_t>(position >> 32) * kChannels;
    int32_t left = data[index];
    int32_t right = data[index + kChannels - 1];
    if constexpr (kLinear) {
      // 15-bit fraction; |difference| <= 65535, so the product stays within 32 bits.
      const int32_t fraction = static_cast<int32_t>((position >> 17) & 0x7FFF);
      left += ((data[index + kChannels] - left) * fraction) >> 15;
      if constexpr (kChannels == 2) {
        right += ((data[index + 3] - right) * fraction) >> 15;
      } else {
        right = left;
      }
    }
    accumulator[2 * i] += (left * gain_left) >> 15;
    accumulator[2 * i + 1] += (right * gain_right) >> 15;
    position += step;
  }
  voice.position = position;
}

}  // namespace platform
