// The editor's door to MIDI import in the WebAssembly module: the same C++ import as mid2org
// (tools/import/midi_import.h) and the same writer, behind one C function for JavaScript
// (studio/midi.js). Not part of liborgsynth's API: built into the web module only.
#include <cstdlib>
#include <cstring>
#include <string>

#include "org/org_writer.h"
#include "tools/import/midi_import.h"

extern "C" {

// Imports the MIDI file `data` at `steps_per_beat` steps a quarter note. Returns the Org file's
// bytes (malloc'd; their count in `*org_size`), or NULL when it is not a MIDI file this reads.
// `*report` is set to a malloc'd UTF-8 text, one line each: the import's report, or why not.
// The caller frees both with free().
uint8_t* studio_import_midi(const uint8_t* data, size_t size, int steps_per_beat, size_t* org_size,
                            char** report) {
  org::ParsedSong song;
  importing::MidiImportReport lines;
  std::string text;
  uint8_t* out = nullptr;
  *org_size = 0;
  if (importing::ImportMidi(data, size, steps_per_beat, &song, &lines, &text)) {
    text.clear();
    for (const std::string& line : lines.lines) text += line + "\n";
    const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
    out = static_cast<uint8_t*>(std::malloc(bytes.size()));
    if (out) {
      std::memcpy(out, bytes.data(), bytes.size());
      *org_size = bytes.size();
    }
  }
  *report = static_cast<char*>(std::malloc(text.size() + 1));
  if (*report) std::memcpy(*report, text.c_str(), text.size() + 1);
  return out;
}

}  // extern "C"
