// The game's melody voices: the waveform bank read from a data path (Org\Wave100.dat) or a file
// (into the face's engine or a music player's), and the eight melody voices of the face's engine
// with the note operations the sequencer applies to them.
// Threads: voices are built and released on the main thread while the sequencer's timer is
// stopped; notes come from the timer thread.
#pragma once

#include <cstdint>
#include <string>

#include "org/engine.h"
#include "org/melody_voice_set.h"
#include "org/wave_bank.h"

namespace org {

// Fills the face's engine's bank (or `engine`'s) from a data path (up to 25600 bytes; a shorter
// file replaces only the start).
// False when the file cannot be opened.
bool LoadWaveBank(const char* path);
bool LoadWaveBank(Engine& engine, const char* path);
// The same from a file a user named (a path of this system, used as it is).
bool LoadWaveBankFile(Engine& engine, const std::string& file);
// Bank sample `index` of waveform `wave` (signed 8-bit).
int8_t WaveBankSample(int wave, int index);

// The face's engine's MelodyVoiceSet: Make, Release and the notes, as documented there.
bool MakeMelodyVoice(int track, uint8_t wave, uint8_t one_shot);
void ReleaseMelodyVoice(int track);
void StartNote(int track, uint8_t key, uint16_t finetune);
void EndNote(int track);
void StartOneShotNote(int track, uint8_t key, uint16_t finetune);
void EndOneShotNote(int track);

// The key track `track` sounds (255: none).
uint8_t MelodyCurrentKey(int track);

// Releases every voice and clears the playing state and the bank (tests).
void ResetMelodyVoices();

}  // namespace org
