#include "runtime/platform/sound_mixer.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "runtime/platform/platform_clock.h"
#include "runtime/platform/sound_mixer_simd.h"

namespace platform {
namespace {

constexpr int kChunkFrames = 1024;

// The moment this thread's calls stand for, or 0 for "now".
thread_local int64_t t_scheduled_call_us = 0;

int16_t Saturate(int32_t value) {
  return static_cast<int16_t>(std::clamp<int32_t>(value, -32768, 32767));
}

}  // namespace

struct SoundMixer::Voice {
  VoiceSamples data;
  bool in_use = false;
  uint32_t generation = 0;
  bool playing = false;
  bool looping = false;
  uint64_t position = 0;  // frames in 32.32 fixed point
  uint64_t step = 0;      // position advance per output frame, 32.32
  uint32_t rate = 0;
  int32_t volume = 0;
  int32_t pan = 0;
  int32_t gain_left = 32768;  // Q15
  int32_t gain_right = 32768;
  int active_index = -1;
};

VoiceSamples ConvertPcm(const uint8_t* bytes, uint32_t length, int channels, int bits) {
  VoiceSamples out;
  out.channels = channels;
  const uint32_t frame_bytes = static_cast<uint32_t>(channels * bits / 8);
  out.frames = frame_bytes ? length / frame_bytes : 0;
  const size_t count = size_t{out.frames} * static_cast<size_t>(channels);
  out.samples.resize(count + static_cast<size_t>(channels));
  if (bits == 8) {
    for (size_t i = 0; i < count; ++i)
      out.samples[i] = static_cast<int16_t>((bytes[i] - 128) * 256);
  } else {
    for (size_t i = 0; i < count; ++i)
      out.samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  // The guard frame repeats frame 0, so a loop interpolates seamlessly into its start.
  for (int c = 0; c < channels; ++c) out.samples[count + c] = out.frames ? out.samples[c] : 0;
  return out;
}

ScheduledCallScope::ScheduledCallScope(int64_t moment_us) : previous_(t_scheduled_call_us) {
  t_scheduled_call_us = moment_us;
}

ScheduledCallScope::~ScheduledCallScope() { t_scheduled_call_us = previous_; }

int32_t GainQ15(int32_t hundredths_db) {
  return static_cast<int32_t>(std::lround(32768.0 * std::pow(10.0, hundredths_db / 2000.0)));
}

SoundMixer::SoundMixer(int output_rate)
    : voices_(kMaxVoices),
      active_(kMaxVoices),
      accumulator_(2 * kChunkFrames),
      output_rate_(output_rate > 0 ? output_rate : 44100),
      wide_kernel_(HasWideMixKernel()),
      queue_(kQueueCapacity),
      due_(kQueueCapacity) {
  free_slots_.reserve(kMaxVoices);
  for (int slot = kMaxVoices - 1; slot >= 0; --slot) free_slots_.push_back(slot);
}

SoundMixer::~SoundMixer() = default;

void SoundMixer::SetOutputRate(int rate) {
  std::lock_guard<std::mutex> lock(mix_mutex_);
  if (rate <= 0) return;
  output_rate_ = rate;
  for (Voice& voice : voices_)
    if (voice.in_use) RecomputeStep(voice);
}

int SoundMixer::output_rate() const { return output_rate_; }

void SoundMixer::SetInterpolation(Interpolation mode) {
  std::lock_guard<std::mutex> lock(mix_mutex_);
  interpolation_ = mode;
}

void SoundMixer::SetWideKernelEnabled(bool enabled) {
  std::lock_guard<std::mutex> lock(mix_mutex_);
  wide_kernel_ = enabled && HasWideMixKernel();
}

void SoundMixer::SetRealtime(bool realtime) {
  std::lock_guard<std::mutex> lock(queue_mutex_);
  realtime_ = realtime;
  if (realtime) return;
  // Calls still waiting for a stream that no longer runs take effect now, in their order.
  std::lock_guard<std::mutex> mix_lock(mix_mutex_);
  for (; queue_size_ > 0; --queue_size_) {
    ApplyCommand(queue_[queue_head_]);
    queue_head_ = (queue_head_ + 1) % kQueueCapacity;
  }
}

VoiceId SoundMixer::AddVoice(VoiceSamples samples, uint32_t rate) {
  assert(samples.frames > 0);
  std::lock_guard<std::mutex> lock(mix_mutex_);
  if (free_slots_.empty()) return {};
  const int slot = free_slots_.back();
  free_slots_.pop_back();
  Voice& voice = voices_[slot];
  const uint32_t generation = voice.generation + 1;
  voice = Voice{};
  voice.generation = generation;
  voice.in_use = true;
  voice.data = std::move(samples);
  voice.rate = rate;
  RecomputeStep(voice);
  return {slot, generation};
}

void SoundMixer::ReplaceSamples(VoiceId id, VoiceSamples samples) {
  {
    std::lock_guard<std::mutex> lock(mix_mutex_);
    Voice& voice = voices_[id.slot];
    if (!voice.in_use || voice.generation != id.generation || samples.frames == 0) return;
    std::swap(voice.data, samples);
    const uint64_t end = uint64_t{voice.data.frames} << 32;
    if (voice.position >= end) voice.position = 0;
  }
  // `samples` now holds the old content; it is freed here, outside the lock.
}

void SoundMixer::RemoveVoice(VoiceId id) {
  VoiceSamples released;
  std::lock_guard<std::mutex> lock(mix_mutex_);
  Voice& voice = voices_[id.slot];
  if (!voice.in_use || voice.generation != id.generation) return;
  Deactivate(voice);
  std::swap(released, voice.data);
  voice.in_use = false;
  voice.playing = false;
  free_slots_.push_back(id.slot);
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
  std::lock_guard<std::mutex> lock(mix_mutex_);
  const Voice& voice = voices_[id.slot];
  if (!voice.in_use || voice.generation != id.generation) return false;
  if (playing) *playing = voice.playing;
  if (looping) *looping = voice.looping;
  if (frame) *frame = static_cast<uint32_t>(voice.position >> 32);
  return true;
}

int SoundMixer::ActiveVoiceCount() {
  std::lock_guard<std::mutex> lock(mix_mutex_);
  return active_count_;
}

void SoundMixer::Submit(VoiceId id, CommandType type, int32_t value) {
  Command command;
  command.slot = id.slot;
  command.generation = id.generation;
  command.type = type;
  command.value = value;
  std::lock_guard<std::mutex> queue_lock(queue_mutex_);
  if (!realtime_) {
    // Offline, or no stream running: nothing pulls, so the call takes effect before the next
    // frame.
    std::lock_guard<std::mutex> mix_lock(mix_mutex_);
    ApplyCommand(command);
    return;
  }
  if (queue_size_ == kQueueCapacity) {
    // The output has stopped pulling (or fell far behind): the oldest call takes effect now to
    // make room. The caller never waits for the output, and the order of calls is kept.
    const Command oldest = queue_[queue_head_];
    queue_head_ = (queue_head_ + 1) % kQueueCapacity;
    --queue_size_;
    std::lock_guard<std::mutex> mix_lock(mix_mutex_);
    ApplyCommand(oldest);
  }
  // The stamp is taken under the queue lock and never goes below the newest one queued, so the
  // queue stays in stamp order.
  const int64_t moment = t_scheduled_call_us != 0 ? t_scheduled_call_us : ClockUs();
  command.stamp_us = std::max(moment, last_stamp_us_);
  last_stamp_us_ = command.stamp_us;
  queue_[(queue_head_ + queue_size_) % kQueueCapacity] = command;
  ++queue_size_;
}

void SoundMixer::RecomputeStep(Voice& voice) {
  voice.step = (uint64_t{voice.rate} << 32) / static_cast<uint64_t>(output_rate_);
  if (voice.step == 0) voice.step = 1;
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
      const uint32_t frame = std::min(static_cast<uint32_t>(command.value), voice.data.frames - 1);
      voice.position = uint64_t{frame} << 32;
      break;
    }
    case CommandType::kFrequency:
      voice.rate = static_cast<uint32_t>(command.value);
      RecomputeStep(voice);
      break;
    case CommandType::kVolume:
      voice.volume = command.value;
      break;
    case CommandType::kPan:
      voice.pan = command.value;
      break;
  }
  if (command.type == CommandType::kVolume || command.type == CommandType::kPan) {
    // A pan towards one side attenuates the other side only.
    voice.gain_left = GainQ15(voice.volume - std::max(voice.pan, 0));
    voice.gain_right = GainQ15(voice.volume + std::min(voice.pan, 0));
  }
}

int SoundMixer::TakeDueCommands(int frames, const BlockTiming* timing) {
  std::lock_guard<std::mutex> lock(queue_mutex_);
  int taken = 0;
  while (taken < queue_size_) {
    Command& command = queue_[(queue_head_ + taken) % kQueueCapacity];
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
  queue_head_ = (queue_head_ + taken) % kQueueCapacity;
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
      RenderChunk(stereo + 2 * done, count, &part);
    } else {
      RenderChunk(stereo + 2 * done, count, nullptr);
    }
    done += count;
  }
}

void SoundMixer::RenderChunk(int16_t* stereo, int frames, const BlockTiming* timing) {
  const int due = TakeDueCommands(frames, timing);
  std::lock_guard<std::mutex> lock(mix_mutex_);
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
  const int32_t gain = output_gain_q15_.load(std::memory_order_relaxed);
  if (gain == 32768) {
    for (int i = 0; i < 2 * frames; ++i) stereo[i] = Saturate(accumulator_[i]);
  } else {
    for (int i = 0; i < 2 * frames; ++i)
      stereo[i] = Saturate(static_cast<int32_t>((int64_t{accumulator_[i]} * gain) >> 15));
  }
}

void SoundMixer::MixSegment(int first_frame, int frame_count) {
  if (frame_count <= 0) return;
  // Backwards, so that a voice that ends and leaves the list never causes one to be skipped.
  for (int i = active_count_ - 1; i >= 0; --i)
    MixVoice(voices_[active_[i]], accumulator_.data() + 2 * first_frame, frame_count);
}

void SoundMixer::MixVoice(Voice& voice, int32_t* accumulator, int frames) {
  const uint64_t end = uint64_t{voice.data.frames} << 32;
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
    if (voice.gain_left == 0 && voice.gain_right == 0) {
      voice.position += voice.step * static_cast<uint64_t>(run);  // inaudible: only advance
    } else if (voice.data.channels == 1 && interpolate && wide_kernel_) {
      voice.position = MixMonoLinearWide(voice.data.samples.data(), voice.position, voice.step,
                                         voice.gain_left, voice.gain_right, accumulator, run);
    } else if (voice.data.channels == 1) {
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
  const int16_t* data = voice.data.samples.data();
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
