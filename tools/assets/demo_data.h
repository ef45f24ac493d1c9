// Everything our demo data folder ships that a generator makes: the waveform bank, the drum kit,
// the demo songs compiled from their scores, and the playlist. Used by the make_assets tool and
// by the test that checks the committed files are exactly what the generators make.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assets {

struct GeneratedFile {
  std::string relative_path;  // under the data folder, with '/' separators
  std::vector<uint8_t> bytes;
};

// Generates every file from the scores in `scores_folder` (files ending in ".score", taken in
// name order). False with a message when a score does not compile.
bool MakeDemoData(const std::string& scores_folder, std::vector<GeneratedFile>* files,
                  std::string* error);

}  // namespace assets
