// A whole soundtrack in one command: every song (from a playlist or given one by one) rendered
// into an output folder, named after its file (or its title), in parallel on several cores:
// `jobs` threads in this process, each song on an engine of its own, one progress bar for the
// whole run. Each file goes in place atomically; a song that fails is named and the others are
// still rendered. Called on org2wav's main thread.
#pragma once

#include <string>
#include <vector>

#include "tools/export/export_job.h"

namespace exporting {

struct BatchSong {
  std::string file;   // a path this system opens
  std::string title;  // UTF-8: the playlist's title, or the file's name
  int number = 0;     // its place in the playlist or on the command line (1, 2, ...); 0: none
};

struct BatchOptions {
  ExportOptions song;  // what each song is rendered with (its title tag set per song)
  std::string out_dir;
  int jobs = 1;
  bool name_by_title = false;
  bool show_progress = false;
};

// The output file name of each song: its file's name (or its title) with the format's
// extension; characters a file name cannot hold become '_', and names met twice get " (2)"...
std::vector<std::string> OutputNames(const std::vector<BatchSong>& songs, AudioFormat format,
                                     bool name_by_title);

// Renders every song; the exit status: 0 when all were written, 1 when any failed.
int RunBatch(const std::vector<BatchSong>& songs, const BatchOptions& options);

// The processors this machine has (at least 1).
int ProcessorCount();

}  // namespace exporting
