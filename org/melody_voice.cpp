#include "org/melody_voice.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "org/engine_device.h"
#include "org/org_song.h"
#include "runtime/platform/data_path.h"

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

int8_t g_bank[kWaveCount * kWaveLength];
platform::SoundBuffer* g_buffers[kMelodyTracks][kOctaves][2];
uint8_t g_current_key[kMelodyTracks] = {kNoValue, kNoValue, kNoValue, kNoValue,
                                        kNoValue, kNoValue, kNoValue, kNoValue};
int g_alternate[kMelodyTracks];

platform::SoundBuffer* Buffer(int track, int octave, int alternate) {
  return g_buffers[track][octave][alternate];
}

platform::SoundBufferDesc VoiceBufferDesc(uint32_t length) {
  platform::SoundBufferDesc desc;
  desc.flags = kEngineBufferFlags;
  desc.length_bytes = length;
  desc.format = {platform::kWaveFormatPcm, 1, 22050, 22050, 1, 8, 0};
  return desc;
}

// One period of the waveform at the octave's length, repeated when one-shot; unsigned samples.
std::vector<uint8_t> VoiceSamples(uint8_t wave, uint32_t period_length, uint32_t length) {
  std::vector<uint8_t> samples(length);
  const uint32_t stride = kWaveLength / period_length;
  uint32_t p = 0;
  for (uint32_t i = 0; i < length; ++i) {
    samples[i] = static_cast<uint8_t>(g_bank[wave * kWaveLength + p] ^ 0x80);
    p += stride;
    if (p > 255) p -= 256;
  }
  return samples;
}

bool Fill(platform::SoundBuffer* buffer, const std::vector<uint8_t>& samples) {
  void* region1 = nullptr;
  void* region2 = nullptr;
  uint32_t bytes1 = 0;
  uint32_t bytes2 = 0;
  if (!buffer->Lock(0, static_cast<uint32_t>(samples.size()), &region1, &bytes1, &region2, &bytes2))
    return false;
  std::copy_n(samples.data(), bytes1, static_cast<uint8_t*>(region1));
  if (region2) std::copy_n(samples.data() + bytes1, bytes2, static_cast<uint8_t*>(region2));
  buffer->Unlock(region1, bytes1, region2, bytes2);
  return true;
}

void TuneTrack(int track, int semitone, uint16_t finetune) {
  for (int octave = 0; octave < kOctaves; ++octave)
    for (int alternate = 0; alternate < 2; ++alternate)
      if (platform::SoundBuffer* buffer = Buffer(track, octave, alternate))
        buffer->SetFrequency(MelodyRate(octave, semitone, finetune));
}

void Play(platform::SoundBuffer* buffer, bool looping) {
  if (buffer) buffer->Play(looping ? platform::kPlayLooping : 0);
}

bool ValidTrack(int track) { return track >= 0 && track < kMelodyTracks; }

}  // namespace

bool LoadWaveBank(const char* path) {
  std::vector<uint8_t> bytes;
  if (!platform::ReadDataFile(path, sizeof g_bank, &bytes)) return false;
  // A short file replaces only what it covers; an empty one changes nothing.
  if (!bytes.empty()) std::memcpy(g_bank, bytes.data(), std::min(bytes.size(), sizeof g_bank));
  return true;
}

int8_t WaveBankSample(int wave, int index) { return g_bank[wave * kWaveLength + index]; }

uint32_t MelodyRate(int octave, int semitone, uint16_t finetune) {
  const OctaveRow& row = kOctaveTable[octave];
  const uint32_t base = row.period_length * row.octave_factor * kSemitoneHz[semitone] / 8;
  // finetune below 1000 lowers the rate; a result the device refuses leaves the old rate.
  return static_cast<uint32_t>(static_cast<int64_t>(base) + finetune - 1000);
}

bool MakeMelodyVoice(int track, uint8_t wave, uint8_t one_shot) {
  platform::SoundDevice* device = EngineSoundDevice();
  if (!device || !ValidTrack(track) || wave >= kWaveCount) return false;
  ReleaseMelodyVoice(track);
  for (int octave = 0; octave < kOctaves; ++octave) {
    const OctaveRow& row = kOctaveTable[octave];
    const uint32_t length = one_shot ? row.period_length * row.one_shot_periods : row.period_length;
    const std::vector<uint8_t> samples = VoiceSamples(wave, row.period_length, length);
    for (int alternate = 0; alternate < 2; ++alternate) {
      platform::SoundBuffer* buffer = device->CreateSoundBuffer(VoiceBufferDesc(length));
      if (!buffer) return false;
      g_buffers[track][octave][alternate] = buffer;
      if (!Fill(buffer, samples)) return false;
      buffer->SetCurrentPosition(0);
    }
  }
  return true;
}

void ReleaseMelodyVoice(int track) {
  if (!ValidTrack(track)) return;
  for (auto& pair : g_buffers[track])
    for (platform::SoundBuffer*& buffer : pair)
      if (buffer) {
        buffer->Release();
        buffer = nullptr;
      }
}

void StartNote(int track, uint8_t key, uint16_t finetune) {
  if (!EngineSoundDevice() || !ValidTrack(track) || key > kMaxKey) return;
  const int octave = key / 12;
  const int semitone = key % 12;
  int& alternate = g_alternate[track];
  uint8_t& current = g_current_key[track];
  if (!Buffer(track, octave, alternate)) return;
  if (current == kNoValue) {
    TuneTrack(track, semitone, finetune);
    Play(Buffer(track, octave, alternate), true);
    current = key;
  } else if (current == key) {
    // The same note again: the sounding buffer finishes its period, its twin takes over.
    Play(Buffer(track, octave, alternate), false);
    alternate ^= 1;
    Play(Buffer(track, octave, alternate), true);
  } else {
    Play(Buffer(track, current / 12, alternate), false);
    alternate ^= 1;
    TuneTrack(track, semitone, finetune);
    Play(Buffer(track, octave, alternate), true);
    current = key;
  }
}

void EndNote(int track) {
  if (!EngineSoundDevice() || !ValidTrack(track)) return;
  uint8_t& current = g_current_key[track];
  if (current == kNoValue) return;
  Play(Buffer(track, current / 12, g_alternate[track]), false);
  current = kNoValue;
}

void StartOneShotNote(int track, uint8_t key, uint16_t finetune) {
  if (!EngineSoundDevice() || !ValidTrack(track) || key > kMaxKey) return;
  const int octave = key / 12;
  const int semitone = key % 12;
  int& alternate = g_alternate[track];
  uint8_t& current = g_current_key[track];
  if (!Buffer(track, octave, alternate)) return;
  if (current == kNoValue) {
    TuneTrack(track, semitone, finetune);
    Play(Buffer(track, octave, alternate), false);
    current = key;
  } else if (current == key) {
    alternate ^= 1;
    Play(Buffer(track, octave, alternate), false);
  } else {
    alternate ^= 1;
    TuneTrack(track, semitone, finetune);
    Play(Buffer(track, octave, alternate), false);
    current = key;
  }
}

void EndOneShotNote(int track) {
  if (!EngineSoundDevice() || !ValidTrack(track)) return;
  g_current_key[track] = kNoValue;
}

void SetMelodyPan(int track, uint8_t pan) {
  int32_t device_pan = 0;
  if (!EngineSoundDevice() || !ValidTrack(track) || !OrgPanToDevice(pan, &device_pan)) return;
  const uint8_t current = g_current_key[track];
  if (current == kNoValue) return;
  if (platform::SoundBuffer* buffer = Buffer(track, current / 12, g_alternate[track]))
    buffer->SetPan(device_pan);
}

void SetMelodyVolume(int track, int volume) {
  if (!EngineSoundDevice() || !ValidTrack(track)) return;
  const uint8_t current = g_current_key[track];
  if (current == kNoValue) return;
  if (platform::SoundBuffer* buffer = Buffer(track, current / 12, g_alternate[track]))
    buffer->SetVolume(OrgVolumeToDevice(volume));
}

uint8_t MelodyCurrentKey(int track) { return g_current_key[track]; }

int MelodyAlternate(int track) { return g_alternate[track]; }

void ResetMelodyVoices() {
  for (int track = 0; track < kMelodyTracks; ++track) {
    ReleaseMelodyVoice(track);
    g_current_key[track] = kNoValue;
    g_alternate[track] = 0;
  }
  std::fill(std::begin(g_bank), std::end(g_bank), int8_t{0});
}

}  // namespace org
