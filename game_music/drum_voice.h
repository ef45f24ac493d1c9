// The jukebox's drum voices: drum slot 0..7 (tracks 8..15) of its engine loaded from a drum file
// by data path, with the game's reports — two message boxes when the file cannot be opened, a
// line in ORG_ERROR.TXT when the sound device refuses the sample — and the operations the
// sequencer applies to the slots. Threads: loading and releasing on the main thread while the
// sequencer's timer is stopped; playing, pan and volume on the timer thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "org/drum_slot_set.h"
#include "org/org_format.h"

namespace org {

// Loads a drum file (a data path) into a slot. An empty path (a drum `wave` outside the table)
// leaves the slot absent without a message. True on success.
bool LoadDrumVoice(const std::string& path, int slot);
// Loads the bytes of a drum file into a slot: the format at byte 20, the data length at byte 54
// and the samples from byte 58. False, with the slot absent, when the bytes are not such a file
// or the device refuses the format.
bool LoadDrumVoiceBytes(const uint8_t* file, size_t size, int slot);
void ReleaseDrumVoice(int slot);

// Reads a drum file by data path for the loader; when it cannot be opened, shows the two message
// boxes (the failure, then the path) and returns false.
bool ReadDrumFile(const std::string& path, std::vector<uint8_t>* bytes);
// Writes the ORG_ERROR.TXT line for what the device refused of a drum that was read.
void ReportDrumLoad(DrumLoadResult result, bool read);

// Restarts the slot's sample at key * 800 + 100 samples per second, played once.
void PlayDrum(int slot, uint8_t key);
// Pan 0..12 (others ignored) and volume 0..254.
void SetDrumPan(int slot, uint8_t pan);
void SetDrumVolume(int slot, int volume);

// Appends one line (CP932 text) to ORG_ERROR.TXT in the working directory.
void WriteOrgErrorLog(const char* message);

// Tools: take drum files from this folder (a data path) instead of the song's own folder;
// empty restores the song's folder.
void SetDrumFolderOverride(const std::string& folder);
const std::string& DrumFolderOverride();

// True when the slot holds a buffer (tests and tools).
bool HasDrumVoice(int slot);

// Releases every slot and clears the override (tests).
void ResetDrumVoices();

}  // namespace org
