#include "org/drum_slot_set.h"

#include <algorithm>
#include <cstring>

#include "org/melody_voice_set.h"
#include "runtime/core/byte_reader.h"

namespace org {
namespace {

constexpr size_t kFormatOffset = 20;
constexpr size_t kLengthOffset = 54;
constexpr size_t kDataOffset = 58;

bool ValidSlot(int slot) { return slot >= 0 && slot < kDrumSlots; }

platform::WaveFormat ReadFormat(runtime::ByteReader& reader) {
  platform::WaveFormat format;
  format.format_tag = reader.U16();
  format.channels = reader.U16();
  format.samples_per_sec = reader.U32();
  format.avg_bytes_per_sec = reader.U32();
  format.block_align = reader.U16();
  format.bits_per_sample = reader.U16();
  format.extra_size = reader.U16();
  return format;
}

}  // namespace

DrumLoadResult DrumSlotSet::Load(const uint8_t* file, size_t size, int slot) {
  if (!device_ || !ValidSlot(slot)) return DrumLoadResult::kCreateFailed;
  Release(slot);
  if (!file || size < kDataOffset || std::memcmp(file, "RIFF", 4) != 0)
    return DrumLoadResult::kNotWav;
  runtime::ByteReader reader(file, size);
  reader.Seek(kFormatOffset);
  platform::SoundBufferDesc desc;
  desc.flags = kEngineBufferFlags;
  desc.format = ReadFormat(reader);
  desc.group = kMelodyTracks + slot;
  reader.Seek(kLengthOffset);
  const uint32_t declared = reader.U32();
  // A file that ends before its declared data gives a buffer of what it holds: the missing tail
  // would only have been silence, and nothing is read past the file.
  desc.length_bytes = static_cast<uint32_t>(std::min<uint64_t>(declared, size - kDataOffset));
  platform::SoundBuffer* buffer = device_->CreateSoundBuffer(desc);
  if (!buffer) return DrumLoadResult::kCreateFailed;
  slots_[slot] = buffer;
  slot_frames_[slot] = desc.length_bytes / std::max<uint32_t>(desc.format.block_align, 1);
  void* region1 = nullptr;
  void* region2 = nullptr;
  uint32_t bytes1 = 0;
  uint32_t bytes2 = 0;
  if (!buffer->Lock(0, desc.length_bytes, &region1, &bytes1, &region2, &bytes2))
    return DrumLoadResult::kLockFailed;
  const uint8_t* data = file + kDataOffset;
  std::memcpy(region1, data, bytes1);
  if (region2) std::memcpy(region2, data + bytes1, bytes2);
  buffer->Unlock(region1, bytes1, region2, bytes2);
  buffer->SetCurrentPosition(0);
  return DrumLoadResult::kLoaded;
}

void DrumSlotSet::Release(int slot) {
  if (!ValidSlot(slot) || !slots_[slot]) return;
  slots_[slot]->Release();
  slots_[slot] = nullptr;
}

void DrumSlotSet::ReleaseAll() {
  for (int slot = 0; slot < kDrumSlots; ++slot) Release(slot);
}

void DrumSlotSet::Play(int slot, uint8_t key) {
  if (!device_ || !ValidSlot(slot) || !slots_[slot]) return;
  platform::SoundBuffer* buffer = slots_[slot];
  if (holding_) {
    held_.rate[slot] = stamps_.Stamp(static_cast<int32_t>(HitRate(key)));
    return;
  }
  buffer->Stop();
  buffer->SetCurrentPosition(0);
  buffer->SetFrequency(HitRate(key));
  buffer->Play(0);
}

uint32_t DrumSlotSet::HitRate(uint8_t key) const {
  return TransposedRate(key * 800u + 100u, pitch_ratio_);
}

bool DrumSlotSet::IsSounding(int slot) const {
  bool playing = false;
  return has_voice(slot) && slots_[slot]->GetStatus(&playing, nullptr) && playing;
}

void DrumSlotSet::SetPan(int slot, uint8_t pan) {
  int32_t device_pan = 0;
  if (!device_ || !ValidSlot(slot) || !slots_[slot]) return;
  if (!OrgPanToDevice(pan, &device_pan)) return;
  if (holding_) {
    held_.pan[slot] = stamps_.Stamp(device_pan);
    return;
  }
  slots_[slot]->SetPan(device_pan);
}

void DrumSlotSet::SetVolume(int slot, int volume) {
  if (!device_ || !ValidSlot(slot) || !slots_[slot]) return;
  if (holding_) {
    held_.volume[slot] = stamps_.Stamp(OrgVolumeToDevice(volume));
    return;
  }
  slots_[slot]->SetVolume(OrgVolumeToDevice(volume));
}

void DrumSlotSet::HoldControls(bool hold) {
  holding_ = hold;
  if (!hold) return;
  held_ = HeldControls{};
  stamps_.Restart();
}

DrumSlotSet::HeldControls DrumSlotSet::RoundsOn(const HeldControls& at,
                                                const HeldControls& round_end, uint32_t round_start,
                                                int64_t rounds, int64_t round_ticks) {
  const auto on = [&](const HeldControl& a, const HeldControl& b) {
    return HeldRoundsOn(a, b, round_start, rounds, round_ticks);
  };
  HeldControls moved;
  for (int slot = 0; slot < kDrumSlots; ++slot) {
    moved.rate[slot] = on(at.rate[slot], round_end.rate[slot]);
    moved.pan[slot] = on(at.pan[slot], round_end.pan[slot]);
    moved.volume[slot] = on(at.volume[slot], round_end.volume[slot]);
  }
  return moved;
}

bool DrumSlotSet::RanOut(int slot, const MelodyVoiceSet::RanOutTest& ran_out) const {
  const HeldControl& hit = held_.rate[slot];
  return hit.order != 0 && ran_out(hit.tick, slot_frames_[slot], static_cast<uint32_t>(hit.value));
}

void DrumSlotSet::StopTouched(const MelodyVoiceSet::RanOutTest& ran_out) {
  for (int slot = 0; slot < kDrumSlots; ++slot)
    if (slots_[slot] && held_.rate[slot].order != 0 && !RanOut(slot, ran_out)) slots_[slot]->Stop();
}

void DrumSlotSet::RewindRanOut(const MelodyVoiceSet::RanOutTest& ran_out) {
  for (int slot = 0; slot < kDrumSlots; ++slot) {
    if (!slots_[slot] || !RanOut(slot, ran_out)) continue;
    slots_[slot]->SetCurrentPosition(0);
    slots_[slot]->Play(0);
    slots_[slot]->Stop();
  }
}

void DrumSlotSet::GiveHeld(const HeldControls& held) {
  for (int slot = 0; slot < kDrumSlots; ++slot) {
    platform::SoundBuffer* buffer = slots_[slot];
    if (!buffer) continue;
    if (held.rate[slot].order != 0)
      buffer->SetFrequency(static_cast<uint32_t>(held.rate[slot].value));
    if (held.pan[slot].order != 0) buffer->SetPan(held.pan[slot].value);
    if (held.volume[slot].order != 0) buffer->SetVolume(held.volume[slot].value);
  }
}

}  // namespace org
