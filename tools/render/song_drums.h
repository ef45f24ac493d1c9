// Where the tools find a song's drums: the drum files (Bass01.wav ... Cat.wav) in a folder — the
// one given with --drums, else the Org folder beside the song, as a game keeps them — found
// without regard to letter case; or our own kit when none lies there. Paths are the user's own
// (UTF-8 on this system), never converted.
#pragma once

#include <string>
#include <vector>

#include "org/engine.h"
#include "org/org_format.h"

namespace render {

// The folder a song's drums are looked for in: `drums_folder`, else <song's folder>/Org.
std::string DrumFolderFor(const std::string& song_path, const std::string& drums_folder);

// The file of drum `drum` in `folder` (its name matched without regard to case), or "" when
// there is none.
std::string FindDrumFile(const std::string& folder, int drum);

// The paths of the drum files `song` plays (the drum tracks that have events, or every drum
// track), each once, as they would be in `folder`.
std::vector<std::string> DrumFilesOf(const org::ParsedSong& song, const std::string& folder,
                                     bool used_only);

// Drums read from `folder`. Each drum the song names that is not there is added to `missing`
// (its path as it would be), once.
org::DrumProvider FolderDrums(const std::string& folder, std::vector<std::string>* missing);

}  // namespace render
