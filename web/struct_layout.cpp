// The layout of the C API's structs as this WebAssembly build compiled them (32-bit pointers and
// size_t), for the page's scripts, which read and write the structs in the module's memory: a
// JSON object {"struct": {"sizeof": n, "field": offset, ...}, ...} named as in
// include/orgsynth.h, so that no offset is written by hand in JavaScript and a change of the
// header cannot silently misread. Arrays of structs name the element's size ("tracks": the
// first element's offset, "orgsynth_track_info" its layout). "constants" holds the header's
// numbers that the scripts name themselves (they need them before the module loads). The native
// build prints the same layout for the Python package's test (tests/python/struct_layout_main.cpp),
// which checks its ctypes declarations against what the C compiler laid out.
#include <cstddef>
#include <string>

#include "include/orgsynth.h"

namespace {

std::string Field(const char* name, size_t offset) {
  return std::string(",\"") + name + "\":" + std::to_string(offset);
}

#define ORG_STRUCT(type, fields) \
  (std::string("\"" #type "\":{\"sizeof\":") + std::to_string(sizeof(type)) + fields + "}")
#define ORG_FIELD(type, field) Field(#field, offsetof(type, field))

std::string Layout() {
  std::string json = "{";
  json += ORG_STRUCT(
      orgsynth_options,
      ORG_FIELD(orgsynth_options, size) + ORG_FIELD(orgsynth_options, sample_rate) +
          ORG_FIELD(orgsynth_options, interpolation) + ORG_FIELD(orgsynth_options, wave_bank) +
          ORG_FIELD(orgsynth_options, wave_bank_size) + ORG_FIELD(orgsynth_options, get_drum) +
          ORG_FIELD(orgsynth_options, drum_user));
  json += ",";
  json += ORG_STRUCT(orgsynth_error,
                     ORG_FIELD(orgsynth_error, code) + ORG_FIELD(orgsynth_error, message));
  json += ",";
  json += ORG_STRUCT(
      orgsynth_info,
      ORG_FIELD(orgsynth_info, size) + ORG_FIELD(orgsynth_info, version) +
          ORG_FIELD(orgsynth_info, sample_rate) + ORG_FIELD(orgsynth_info, step_ms) +
          ORG_FIELD(orgsynth_info, beats_per_bar) + ORG_FIELD(orgsynth_info, steps_per_beat) +
          ORG_FIELD(orgsynth_info, loop_start_step) + ORG_FIELD(orgsynth_info, loop_end_step) +
          ORG_FIELD(orgsynth_info, loop_start_frame) + ORG_FIELD(orgsynth_info, loop_end_frame) +
          ORG_FIELD(orgsynth_info, intro_frames) + ORG_FIELD(orgsynth_info, loop_frames) +
          ORG_FIELD(orgsynth_info, tracks));
  json += ",";
  json += ORG_STRUCT(orgsynth_track_info, ORG_FIELD(orgsynth_track_info, instrument) +
                                              ORG_FIELD(orgsynth_track_info, finetune) +
                                              ORG_FIELD(orgsynth_track_info, one_shot) +
                                              ORG_FIELD(orgsynth_track_info, note_count));
  json += ",";
  json += ORG_STRUCT(orgsynth_event,
                     ORG_FIELD(orgsynth_event, step) + ORG_FIELD(orgsynth_event, key) +
                         ORG_FIELD(orgsynth_event, length) + ORG_FIELD(orgsynth_event, volume) +
                         ORG_FIELD(orgsynth_event, pan));
  json += ",";
  json += ORG_STRUCT(orgsynth_playing, ORG_FIELD(orgsynth_playing, size) +
                                           ORG_FIELD(orgsynth_playing, step) +
                                           ORG_FIELD(orgsynth_playing, loop_count));
  json += ",";
  json += ORG_STRUCT(
      orgsynth_track_state,
      ORG_FIELD(orgsynth_track_state, size) + ORG_FIELD(orgsynth_track_state, key) +
          ORG_FIELD(orgsynth_track_state, volume) + ORG_FIELD(orgsynth_track_state, pan) +
          ORG_FIELD(orgsynth_track_state, muted) + ORG_FIELD(orgsynth_track_state, peak));
  json += ",";
  json += ORG_STRUCT(orgsynth_track_data, ORG_FIELD(orgsynth_track_data, instrument) +
                                              ORG_FIELD(orgsynth_track_data, finetune) +
                                              ORG_FIELD(orgsynth_track_data, one_shot) +
                                              ORG_FIELD(orgsynth_track_data, event_count) +
                                              ORG_FIELD(orgsynth_track_data, events));
  json += ",";
  json += ORG_STRUCT(orgsynth_song_data, ORG_FIELD(orgsynth_song_data, version) +
                                             ORG_FIELD(orgsynth_song_data, step_ms) +
                                             ORG_FIELD(orgsynth_song_data, beats_per_bar) +
                                             ORG_FIELD(orgsynth_song_data, steps_per_beat) +
                                             ORG_FIELD(orgsynth_song_data, loop_start_step) +
                                             ORG_FIELD(orgsynth_song_data, loop_end_step) +
                                             ORG_FIELD(orgsynth_song_data, tracks));
  // The header's numbers the scripts name for themselves (TRACKS, ...), for their test to check.
  json += ",\"constants\":{\"ORGSYNTH_TRACKS\":" + std::to_string(ORGSYNTH_TRACKS) +
          ",\"ORGSYNTH_MELODY_TRACKS\":" + std::to_string(ORGSYNTH_MELODY_TRACKS) +
          ",\"ORGSYNTH_NO_KEY\":" + std::to_string(ORGSYNTH_NO_KEY) +
          ",\"ORGSYNTH_EVENTS_PER_TRACK\":" + std::to_string(ORGSYNTH_EVENTS_PER_TRACK) + "}";
  json += "}";
  return json;
}

}  // namespace

extern "C" const char* web_struct_layout() {
  static const std::string layout = Layout();
  return layout.c_str();
}
