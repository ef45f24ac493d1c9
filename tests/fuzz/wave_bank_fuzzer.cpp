// Fuzzes the waveform bank reader: the bank is read from a file, a voice is built on a waveform
// the input chooses, looping and one-shot, and a high and a low note are played and mixed.
#include "fuzz/fuzz_support.h"
#include "game_music/melody_voice.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::ScratchFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WriteScratchFile("Wave100.dat", data, size);
  fuzz::OfflineEngine engine;
  if (org::LoadWaveBank("Wave100.dat")) {
    const uint8_t wave = size ? data[0] % 100 : 0;
    for (uint8_t one_shot = 0; one_shot < 2; ++one_shot) {
      if (!org::MakeMelodyVoice(0, wave, one_shot)) continue;
      org::StartNote(0, 95, 1000);
      engine.Render(1024);
      org::EndNote(0);
      org::StartOneShotNote(0, 0, 20);
      engine.Render(1024);
      org::EndOneShotNote(0);
    }
  }
  org::ResetMelodyVoices();
  return 0;
}
