// Drums for songs given by a path of this system (a user's own songs, the tools' songs): the
// drum files (Bass01.wav ... Cat.wav) in a folder — one given, else the Org folder beside the
// song, as a game keeps them — found without regard to letter case. Paths are the user's own
// (UTF-8 on this system), never converted. Any thread.
#pragma once

#include <string>
#include <vector>

#include "org/engine.h"
#include "org/org_format.h"

namespace org {

// The folder a song's drums are looked for in: `drums_folder`, else <song's folder>/Org.
std::string DrumFolderFor(const std::string& song_path, const std::string& drums_folder);

// The file of drum `drum` in `folder` (its name matched without regard to case), or "" when
// there is none.
std::string FindDrumFile(const std::string& folder, int drum);

// True when at least one of the drum files `song` plays lies in `folder`.
bool HasAnyDrumOf(const ParsedSong& song, const std::string& folder);

// The paths of the drum files `song` plays (the drum tracks that have events, or every drum
// track), each once, as they would be in `folder`.
std::vector<std::string> DrumFilesOf(const ParsedSong& song, const std::string& folder,
                                     bool used_only);

// Drums read from `folder`. Each drum the song names that is not there is added to `missing`
// (its path as it would be), once.
DrumProvider FolderDrums(const std::string& folder, std::vector<std::string>* missing);

}  // namespace org
