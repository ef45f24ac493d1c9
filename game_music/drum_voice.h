// The game's drum voices: the drum files read by data path for the game's loader, with the game's
// reports — two message boxes when a file cannot be opened, a line in ORG_ERROR.TXT when the
// sound device refuses the sample — and the operations the sequencer applies to drum slot 0..7
// (tracks 8..15) of the face's engine. Threads: reading and releasing on the main thread while
// the timer is stopped; playing, pan and volume on the timer thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "org/drum_slot_set.h"
#include "org/org_format.h"

namespace org {

// Reads a drum file by data path for the loader; when it cannot be opened, shows the two message
// boxes (the failure, then the path) and returns false.
bool ReadDrumFile(const std::string& path, std::vector<uint8_t>* bytes);
// Writes the ORG_ERROR.TXT line for what the device refused of a drum that was read.
void ReportDrumLoad(DrumLoadResult result, bool read);

// The face's engine's DrumSlotSet: Play, SetPan, SetVolume and Release, as documented there.
void PlayDrum(int slot, uint8_t key);
void SetDrumPan(int slot, uint8_t pan);
void SetDrumVolume(int slot, int volume);
void ReleaseDrumVoice(int slot);

// Appends one line (CP932 text) to ORG_ERROR.TXT in the working directory.
void WriteOrgErrorLog(const char* message);

// Releases every slot (tests).
void ResetDrumVoices();

}  // namespace org
