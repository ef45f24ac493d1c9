#include "org/melody_voice_set.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace org {
namespace {

struct OctaveRow {
  uint32_t period_length;  // samples per period in the buffer
  uint32_t octave_factor;
  uint32_t one_shot_periods;
};
constexpr OctaveRow kOctaveTable[kOctaves] = {
    {256, 1, 4},  {256, 2, 8},  {128, 4, 12}, {128, 8, 16},
    {64, 16, 20}, {32, 32, 24}, {16, 64, 28}, {8, 128, 32},
};
constexpr uint32_t kSemitoneHz[12] = {262, 277, 294, 311, 330, 349, 370, 392, 415, 440, 466, 494};
constexpr int kMaxKey = kOctaves * 12 - 1;
constexpr int kPanTable[13] = {0, 43, 86, 129, 172, 215, 256, 297, 340, 383, 426, 469, 512};

platform::SoundBufferDesc VoiceBufferDesc(uint32_t length, int track) {
  platform::SoundBufferDesc desc;
  desc.flags = kEngineBufferFlags;
  desc.length_bytes = length;
  desc.format = {platform::kWaveFormatPcm, 1, 22050, 22050, 1, 8, 0};
  desc.group = track;
  return desc;
}

// One period of the waveform at the octave's length, repeated when one-shot: the bank's signed
// samples (silence without a bank).
std::vector<int8_t> PeriodSamples(const WaveBank* bank, uint8_t wave, uint32_t period_length,
                                  uint32_t length) {
  std::vector<int8_t> samples(length, 0);
  if (!bank) return samples;
  const uint32_t stride = kWaveLength / period_length;
  uint32_t p = 0;
  for (uint32_t i = 0; i < length; ++i) {
    samples[i] = bank->Sample(wave, static_cast<int>(p));
    p += stride;
    if (p > 255) p -= 256;
  }
  return samples;
}

// Writes `samples` through Lock, as 8-bit unsigned PCM (a device that takes samples no other way).
bool Fill(platform::SoundBuffer* buffer, const std::vector<int8_t>& samples) {
  void* region1 = nullptr;
  void* region2 = nullptr;
  uint32_t bytes1 = 0;
  uint32_t bytes2 = 0;
  if (!buffer->Lock(0, static_cast<uint32_t>(samples.size()), &region1, &bytes1, &region2, &bytes2))
    return false;
  const auto unsigned_byte = [](int8_t s) { return static_cast<uint8_t>(s ^ 0x80); };
  std::transform(samples.begin(), samples.begin() + bytes1, static_cast<uint8_t*>(region1),
                 unsigned_byte);
  if (region2)
    std::transform(samples.begin() + bytes1, samples.begin() + bytes1 + bytes2,
                   static_cast<uint8_t*>(region2), unsigned_byte);
  buffer->Unlock(region1, bytes1, region2, bytes2);
  return true;
}

// Gives a melody buffer its samples in the form the device mixes them in (a twin shares its
// first buffer's, with no copy of its own); through Lock where the device takes them no other way.
bool GiveSamples(platform::SoundDevice* device, platform::SoundBuffer* buffer,
                 platform::SoundBuffer* twin_of, const std::vector<int8_t>& samples) {
  if (twin_of && device->ShareSamples(buffer, twin_of)) return true;
  if (device->SetMixerSamples(
          buffer, platform::MonoFromSigned8(samples.data(), static_cast<uint32_t>(samples.size()))))
    return true;
  return Fill(buffer, samples);
}

bool ValidTrack(int track) { return track >= 0 && track < kMelodyTracks; }

}  // namespace

bool OrgPanToDevice(int pan, int32_t* device_pan) {
  if (pan < 0 || pan > 12) return false;
  *device_pan = (kPanTable[pan] - 256) * 10;
  return true;
}

uint32_t MelodyRate(int octave, int semitone, uint16_t finetune) {
  const OctaveRow& row = kOctaveTable[octave];
  const uint32_t base = row.period_length * row.octave_factor * kSemitoneHz[semitone] / 8;
  // finetune below 1000 lowers the rate; a result the device refuses leaves the old rate.
  return static_cast<uint32_t>(static_cast<int64_t>(base) + finetune - 1000);
}

uint32_t TransposedRate(uint32_t rate, double ratio) {
  // A rate a buffer refuses stays refused: the old rate stays, as without a transposition.
  if (ratio == 1.0 || rate < platform::kMinFrequency || rate > platform::kMaxFrequency) return rate;
  const double scaled = std::round(static_cast<double>(rate) * ratio);
  return static_cast<uint32_t>(
      std::clamp(scaled, double{platform::kMinFrequency}, double{platform::kMaxFrequency}));
}

void MelodyVoiceSet::TuneTrack(int track, int semitone, uint16_t finetune) {
  tuned_finetune_[track] = finetune;
  if (holding_) {
    held_.semitone[track] = stamps_.Stamp(semitone);
    held_.finetune[track] = finetune;
    return;
  }
  for (int octave = 0; octave < kOctaves; ++octave) {
    // Both buffers of the octave's pair play at its one rate.
    const uint32_t rate = TransposedRate(MelodyRate(octave, semitone, finetune), pitch_ratio_);
    for (int alternate = 0; alternate < 2; ++alternate)
      if (platform::SoundBuffer* buffer = Buffer(track, octave, alternate))
        buffer->SetFrequency(rate);
  }
}

uint32_t MelodyVoiceSet::NoteRate(uint8_t key, uint16_t finetune) const {
  const int k = std::min<int>(key, kMaxKey);
  return TransposedRate(MelodyRate(k / 12, k % 12, finetune), pitch_ratio_);
}

void MelodyVoiceSet::SetPitchRatio(double ratio) {
  if (ratio == pitch_ratio_) return;
  pitch_ratio_ = ratio;
  for (int track = 0; track < kMelodyTracks; ++track)
    if (current_key_[track] != kNoValue)
      TuneTrack(track, current_key_[track] % 12, tuned_finetune_[track]);
}

bool MelodyVoiceSet::Make(int track, uint8_t wave, uint8_t one_shot) {
  if (!device_ || !ValidTrack(track) || wave >= kWaveCount) return false;
  Release(track);
  for (int octave = 0; octave < kOctaves; ++octave) {
    const OctaveRow& row = kOctaveTable[octave];
    const uint32_t length = one_shot ? row.period_length * row.one_shot_periods : row.period_length;
    buffer_frames_[track][octave] = length;
    const std::vector<int8_t> samples = PeriodSamples(bank_.get(), wave, row.period_length, length);
    for (int alternate = 0; alternate < 2; ++alternate) {
      platform::SoundBuffer* buffer = device_->CreateSoundBuffer(VoiceBufferDesc(length, track));
      if (!buffer) return false;
      buffers_[track][octave][alternate] = buffer;
      platform::SoundBuffer* twin_of = alternate == 1 ? buffers_[track][octave][0] : nullptr;
      if (!GiveSamples(device_, buffer, twin_of, samples)) return false;
      buffer->SetCurrentPosition(0);
    }
  }
  return true;
}

void MelodyVoiceSet::Release(int track) {
  if (!ValidTrack(track)) return;
  for (auto& pair : buffers_[track])
    for (platform::SoundBuffer*& buffer : pair)
      if (buffer) {
        buffer->Release();
        buffer = nullptr;
      }
}

void MelodyVoiceSet::ReleaseAll() {
  for (int track = 0; track < kMelodyTracks; ++track) Release(track);
}

void MelodyVoiceSet::StartNote(int track, uint8_t key, uint16_t finetune) {
  StartKey(track, key, finetune, true);
}

void MelodyVoiceSet::EndNote(int track) {
  if (!device_ || !ValidTrack(track)) return;
  uint8_t& current = current_key_[track];
  if (current == kNoValue) return;
  PlayBuffer(track, current / 12, alternate_[track], false);
  current = kNoValue;
}

void MelodyVoiceSet::StartOneShotNote(int track, uint8_t key, uint16_t finetune) {
  StartKey(track, key, finetune, false);
}

void MelodyVoiceSet::StartKey(int track, uint8_t key, uint16_t finetune, bool sustained) {
  if (!device_ || !ValidTrack(track) || key > kMaxKey) return;
  const int octave = key / 12;
  int& alternate = alternate_[track];
  uint8_t& current = current_key_[track];
  if (!Buffer(track, octave, alternate)) return;
  if (current != kNoValue) {
    // The buffer that sounds is left to its twin: a sustained one finishes its period (a one-shot
    // plays out by itself).
    if (sustained) PlayBuffer(track, current / 12, alternate, false);
    alternate ^= 1;
  }
  if (current != key) {  // the same note again is not tuned again
    TuneTrack(track, key % 12, finetune);
    current = key;
  }
  PlayBuffer(track, octave, alternate, sustained);
}

void MelodyVoiceSet::PlayBuffer(int track, int octave, int alternate, bool looping) {
  if (holding_) {
    held_.play[track][octave][alternate] = stamps_.Stamp(looping ? 1 : 0);
    return;
  }
  if (platform::SoundBuffer* buffer = Buffer(track, octave, alternate))
    buffer->Play(looping ? platform::kPlayLooping : 0);
}

void MelodyVoiceSet::EndOneShotNote(int track) {
  if (!device_ || !ValidTrack(track)) return;
  current_key_[track] = kNoValue;
}

void MelodyVoiceSet::SetPan(int track, uint8_t pan) {
  int32_t device_pan = 0;
  if (!device_ || !ValidTrack(track) || !OrgPanToDevice(pan, &device_pan)) return;
  const uint8_t current = current_key_[track];
  if (current == kNoValue) return;
  const int octave = current / 12;
  if (platform::SoundBuffer* buffer = Buffer(track, octave, alternate_[track])) {
    if (holding_) {
      held_.pan[track][octave][alternate_[track]] = stamps_.Stamp(device_pan);
      return;
    }
    buffer->SetPan(device_pan);
  }
}

void MelodyVoiceSet::SetVolume(int track, int volume) {
  if (!device_ || !ValidTrack(track)) return;
  const uint8_t current = current_key_[track];
  if (current == kNoValue) return;
  const int octave = current / 12;
  if (platform::SoundBuffer* buffer = Buffer(track, octave, alternate_[track])) {
    if (holding_) {
      held_.volume[track][octave][alternate_[track]] = stamps_.Stamp(OrgVolumeToDevice(volume));
      return;
    }
    buffer->SetVolume(OrgVolumeToDevice(volume));
  }
}

MelodyVoiceSet::PlayingState MelodyVoiceSet::playing_state() const {
  PlayingState state;
  std::copy(std::begin(current_key_), std::end(current_key_), state.current_key);
  std::copy(std::begin(alternate_), std::end(alternate_), state.alternate);
  return state;
}

void MelodyVoiceSet::RestorePlayingState(const PlayingState& state) {
  std::copy(std::begin(state.current_key), std::end(state.current_key), current_key_);
  std::copy(std::begin(state.alternate), std::end(state.alternate), alternate_);
}

void MelodyVoiceSet::HoldControls(bool hold) {
  holding_ = hold;
  if (!hold) return;
  held_ = HeldControls{};
  stamps_.Restart();
}

MelodyVoiceSet::HeldControls MelodyVoiceSet::RoundsOn(const HeldControls& at,
                                                      const HeldControls& round_end,
                                                      uint32_t round_start, int64_t rounds,
                                                      int64_t round_ticks) {
  const auto on = [&](const HeldControl& a, const HeldControl& b) {
    return HeldRoundsOn(a, b, round_start, rounds, round_ticks);
  };
  HeldControls moved = at;
  for (int track = 0; track < kMelodyTracks; ++track) {
    moved.semitone[track] = on(at.semitone[track], round_end.semitone[track]);
    moved.finetune[track] = moved.semitone[track].order == at.semitone[track].order
                                ? at.finetune[track]
                                : round_end.finetune[track];
    for (int octave = 0; octave < kOctaves; ++octave)
      for (int alternate = 0; alternate < 2; ++alternate) {
        moved.pan[track][octave][alternate] =
            on(at.pan[track][octave][alternate], round_end.pan[track][octave][alternate]);
        moved.volume[track][octave][alternate] =
            on(at.volume[track][octave][alternate], round_end.volume[track][octave][alternate]);
        moved.play[track][octave][alternate] =
            on(at.play[track][octave][alternate], round_end.play[track][octave][alternate]);
      }
  }
  return moved;
}

bool MelodyVoiceSet::RanOut(int track, int octave, int alternate, const RanOutTest& ran_out) const {
  const HeldControl& play = held_.play[track][octave][alternate];
  // Retuned since, a buffer may play out at any rate it takes.
  return play.order != 0 && play.value == 0 && ran_out(play.tick, buffer_frames_[track][octave], 0);
}

void MelodyVoiceSet::StopTouched(const RanOutTest& ran_out) {
  for (int track = 0; track < kMelodyTracks; ++track)
    for (int octave = 0; octave < kOctaves; ++octave)
      for (int alternate = 0; alternate < 2; ++alternate) {
        platform::SoundBuffer* buffer = Buffer(track, octave, alternate);
        if (buffer && held_.play[track][octave][alternate].order != 0 &&
            !RanOut(track, octave, alternate, ran_out))
          buffer->Stop();
      }
}

void MelodyVoiceSet::RewindRanOut(const RanOutTest& ran_out) {
  for (int track = 0; track < kMelodyTracks; ++track)
    for (int octave = 0; octave < kOctaves; ++octave)
      for (int alternate = 0; alternate < 2; ++alternate) {
        platform::SoundBuffer* buffer = Buffer(track, octave, alternate);
        if (!buffer || !RanOut(track, octave, alternate, ran_out)) continue;
        buffer->SetCurrentPosition(0);
        buffer->Play(0);
        buffer->Stop();
      }
}

void MelodyVoiceSet::GiveHeld(const HeldControls& held) {
  for (int track = 0; track < kMelodyTracks; ++track) {
    if (held.semitone[track].order != 0)
      TuneTrack(track, held.semitone[track].value, held.finetune[track]);
    for (int octave = 0; octave < kOctaves; ++octave)
      for (int alternate = 0; alternate < 2; ++alternate) {
        platform::SoundBuffer* buffer = Buffer(track, octave, alternate);
        if (!buffer) continue;
        if (const HeldControl& pan = held.pan[track][octave][alternate]; pan.order != 0)
          buffer->SetPan(pan.value);
        if (const HeldControl& volume = held.volume[track][octave][alternate]; volume.order != 0)
          buffer->SetVolume(volume.value);
      }
  }
}

void MelodyVoiceSet::ClearPlayingState() {
  std::fill(std::begin(current_key_), std::end(current_key_), kNoValue);
  std::fill(std::begin(alternate_), std::end(alternate_), 0);
}

}  // namespace org
