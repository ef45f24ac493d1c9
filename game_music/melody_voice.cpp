#include "game_music/melody_voice.h"

#include <vector>

#include "game_music/game_engine.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/file_reader.h"

namespace org {
namespace {

MelodyVoiceSet& Voices() { return GameEngine().melody(); }

// A short file replaces only what it covers; an empty one changes nothing.
void OverlayWaveBank(Engine& engine, const std::vector<uint8_t>& bytes) {
  engine.SetWaveBank(WaveBank::Overlay(engine.wave_bank(), bytes.data(), bytes.size()));
}

}  // namespace

bool LoadWaveBank(const char* path) { return LoadWaveBank(GameEngine(), path); }

bool LoadWaveBank(Engine& engine, const char* path) {
  std::vector<uint8_t> bytes;
  if (!platform::ReadDataFile(path, kWaveBankBytes, &bytes)) return false;
  OverlayWaveBank(engine, bytes);
  return true;
}

bool LoadWaveBankFile(Engine& engine, const std::string& file) {
  const platform::FileContents contents = platform::ReadFileUpTo(file, kWaveBankBytes);
  if (!contents.ok()) return false;
  OverlayWaveBank(engine, contents.bytes);
  return true;
}

int8_t WaveBankSample(int wave, int index) {
  const WaveBank* bank = GameEngine().wave_bank();
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

uint8_t MelodyCurrentKey(int track) { return Voices().current_key(track); }

void ResetMelodyVoices() {
  Voices().ReleaseAll();
  Voices().ClearPlayingState();
  GameEngine().SetWaveBank(nullptr);
}

}  // namespace org
