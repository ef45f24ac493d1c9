// Drum voices: the 28 drum sample files, one sound buffer per drum track (slot 0..7 for tracks
// 8..15) loaded from a RIFF WAV file read at fixed offsets, restarted at a rate chosen by the
// note's key. Also the engine's error log ORG_ERROR.TXT, where the drum loader reports what the
// sound device refused.
// Threads: loading and releasing on the main thread while the sequencer's timer is stopped;
// playing, pan and volume on the timer thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace org {

inline constexpr int kDrumSampleCount = 28;
inline constexpr int kDrumSlots = 8;

// The table entry for drum `wave` ("Org\Bass01.wav" ...), or null outside 0..27.
const char* DrumFileName(int wave);

// Loads a drum file (a data path) into a slot. An empty path (a drum `wave` outside the table)
// leaves the slot absent without a message. True on success.
bool LoadDrumVoice(const std::string& path, int slot);
// Loads the bytes of a drum file into a slot: the format at byte 20, the data length at byte 54
// and the samples from byte 58. False, with the slot absent, when the bytes are not such a file
// or the device refuses the format.
bool LoadDrumVoiceBytes(const uint8_t* file, size_t size, int slot);
void ReleaseDrumVoice(int slot);

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
