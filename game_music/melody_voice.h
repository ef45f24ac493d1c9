// The jukebox's melody voices: the waveform bank read from a data path (Org\Wave100.dat) and
// the eight melody voices of its engine, with the operations the sequencer applies to them.
// Threads: voices are built and released on the main thread while the sequencer's timer is
// stopped; notes, pan and volume come from the timer thread.
#pragma once

#include <cstdint>
#include <string>

#include "org/melody_voice_set.h"
#include "org/wave_bank.h"

namespace org {

// Fills the bank from a data path (up to 25600 bytes; a shorter file replaces only the start).
// False when the file cannot be opened.
bool LoadWaveBank(const char* path);
// The same from a file a user named (a path of this system, used as it is).
bool LoadWaveBankFile(const std::string& file);
// Bank sample `index` of waveform `wave` (signed 8-bit).
int8_t WaveBankSample(int wave, int index);

// Builds the track's sixteen buffers from waveform `wave`, sustained (`one_shot` 0) or one-shot.
// False when `wave` is above 99 (the old buffers stay) or a buffer cannot be made.
bool MakeMelodyVoice(int track, uint8_t wave, uint8_t one_shot);
void ReleaseMelodyVoice(int track);

// Notes. `key` is octave * 12 + semitone (0..95; other keys are ignored); `finetune` adds
// finetune - 1000 samples per second to every rate.
void StartNote(int track, uint8_t key, uint16_t finetune);
void EndNote(int track);
void StartOneShotNote(int track, uint8_t key, uint16_t finetune);
void EndOneShotNote(int track);
// Pan 0..12 (others ignored) and volume 0..254, on the buffer that sounds now.
void SetMelodyPan(int track, uint8_t pan);
void SetMelodyVolume(int track, int volume);

// Playing state, for tests and tools.
uint8_t MelodyCurrentKey(int track);
int MelodyAlternate(int track);

// Releases every voice and clears the playing state and the bank (tests).
void ResetMelodyVoices();

}  // namespace org
