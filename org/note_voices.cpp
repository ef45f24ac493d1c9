#include "org/note_voices.h"

#include "runtime/platform/mixing_sound_device.h"

namespace org {
namespace {

constexpr int kMaxKey = 95;

platform::SoundBufferDesc NoteBufferDesc() {
  platform::SoundBufferDesc desc;
  desc.flags = kEngineBufferFlags;
  desc.length_bytes = 1;  // its own samples are never heard: it plays a track's
  desc.format = {platform::kWaveFormatPcm, 1, 22050, 22050, 1, 8, 0};
  return desc;
}

}  // namespace

NoteVoices::NoteVoices(platform::MixingSoundDevice* device, Engine* engine)
    : device_(device), engine_(engine) {
  for (platform::SoundBuffer*& voice : voices_)
    voice = device_->CreateSoundBuffer(NoteBufferDesc());
}

NoteVoices::~NoteVoices() {
  for (platform::SoundBuffer* voice : voices_)
    if (voice) voice->Release();
}

bool NoteVoices::Sounding(int voice) const {
  bool playing = false;
  return voice >= 0 && voice < kVoices && voices_[voice] &&
         voices_[voice]->GetStatus(&playing, nullptr) && playing;
}

int NoteVoices::Start(int track, int key, int volume, int pan) {
  int32_t device_pan = 0;
  if (track < 0 || track >= kTrackCount || key < 0 || key > kMaxKey || volume < 0 || volume > 254 ||
      !OrgPanToDevice(pan, &device_pan))
    return kBadArgument;
  // The track's own buffer to share, and the rate as the song would play the key.
  platform::SoundBuffer* source = nullptr;
  uint32_t rate = 0;
  bool sustained = false;
  const ParsedSong::Track& song_track = engine_->song().tracks[track];
  if (track < kMelodyTracks) {
    source = engine_->melody().octave_buffer(track, key / 12);
    rate = MelodyRate(key / 12, key % 12, song_track.finetune);
    sustained = !song_track.one_shot;
  } else {
    source = engine_->drums().slot_buffer(track - kMelodyTracks);
    rate = static_cast<uint32_t>(key) * 800u + 100u;
  }
  if (!source) return kNoInstrument;
  int voice = 0;
  while (voice < kVoices && (!voices_[voice] || Sounding(voice))) ++voice;
  if (voice == kVoices) return kNoFreeVoice;
  platform::SoundBuffer* buffer = voices_[voice];
  if (!device_->ShareSamples(buffer, source)) return kNoInstrument;
  buffer->SetCurrentPosition(0);
  buffer->SetFrequency(rate);
  buffer->SetVolume(OrgVolumeToDevice(volume));
  buffer->SetPan(device_pan);
  buffer->Play(sustained ? platform::kPlayLooping : 0);
  sustained_[voice] = sustained;
  return voice;
}

bool NoteVoices::Stop(int voice) {
  if (voice < 0 || voice >= kVoices) return false;
  platform::SoundBuffer* buffer = voices_[voice];
  if (!buffer || !Sounding(voice)) return true;
  if (sustained_[voice]) {
    buffer->Play(0);  // the period under way ends the note
  } else {
    buffer->Stop();
    buffer->SetCurrentPosition(0);
  }
  return true;
}

void NoteVoices::StopAll() {
  for (platform::SoundBuffer* buffer : voices_) {
    if (!buffer) continue;
    buffer->Stop();
    buffer->SetCurrentPosition(0);
  }
}

}  // namespace org
