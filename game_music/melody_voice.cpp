#include "game_music/melody_voice.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include "game_music/game_engine.h"
#include "runtime/platform/data_path.h"

namespace org {
namespace {

MelodyVoiceSet& Voices() { return JukeboxEngine().melody(); }

}  // namespace

bool LoadWaveBank(const char* path) {
  std::vector<uint8_t> bytes;
  if (!platform::ReadDataFile(path, kWaveBankBytes, &bytes)) return false;
  // A short file replaces only what it covers; an empty one changes nothing.
  JukeboxEngine().SetWaveBank(
      WaveBank::Overlay(JukeboxEngine().wave_bank(), bytes.data(), bytes.size()));
  return true;
}

bool LoadWaveBankFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::error_code error;
  if (!in || std::filesystem::is_directory(file, error)) return false;
  std::vector<uint8_t> bytes(kWaveBankBytes);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  JukeboxEngine().SetWaveBank(
      WaveBank::Overlay(JukeboxEngine().wave_bank(), bytes.data(), bytes.size()));
  return true;
}

int8_t WaveBankSample(int wave, int index) {
  const WaveBank* bank = JukeboxEngine().wave_bank();
  return bank ? bank->Sample(wave, index) : 0;
}

bool MakeMelodyVoice(int track, uint8_t wave, uint8_t one_shot) {
  return Voices().Make(track, wave, one_shot);
}

void ReleaseMelodyVoice(int track) { Voices().Release(track); }

void StartNote(int track, uint8_t key, uint16_t finetune) {
  Voices().StartNote(track, key, finetune);
}

void EndNote(int track) { Voices().EndNote(track); }

void StartOneShotNote(int track, uint8_t key, uint16_t finetune) {
  Voices().StartOneShotNote(track, key, finetune);
}

void EndOneShotNote(int track) { Voices().EndOneShotNote(track); }

void SetMelodyPan(int track, uint8_t pan) { Voices().SetPan(track, pan); }

void SetMelodyVolume(int track, int volume) { Voices().SetVolume(track, volume); }

uint8_t MelodyCurrentKey(int track) { return Voices().current_key(track); }

int MelodyAlternate(int track) { return Voices().alternate(track); }

void ResetMelodyVoices() {
  Voices().ReleaseAll();
  Voices().ClearPlayingState();
  JukeboxEngine().SetWaveBank(nullptr);
}

}  // namespace org
