// liborgsynth's C API (include/orgsynth.h) over the C++ renderer (org::SongRenderer): handles,
// error values instead of exceptions, the options' defaults and the C structs filled from the
// engine's state. Nothing here keeps state outside a song.
#include "include/orgsynth.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "org/drum_kit.h"
#include "org/fades.h"
#include "org/song_loop.h"
#include "org/org_writer.h"
#include "org/song_renderer.h"

// The handle holds the renderer by an untyped pointer, so that the library's description of its
// interface (its debug information, read by the ABI check) stops at the handle.
struct orgsynth_song {
  void* renderer = nullptr;  // org::SongRenderer, owned
  bool levels = false;
};

namespace {

constexpr uint32_t kDefaultRate = platform::kDefaultOutputRate;

org::SongRenderer& Renderer(const orgsynth_song* song) {
  return *static_cast<org::SongRenderer*>(song->renderer);
}

void SetError(orgsynth_error* error, int code, const char* message) {
  if (!error) return;
  error->code = code;
  std::snprintf(error->message, sizeof error->message, "%s", message);
}

int CodeOf(org::RenderError error) {
  switch (error) {
    case org::RenderError::kNone:
      return ORGSYNTH_OK;
    case org::RenderError::kNotOrg:
      return ORGSYNTH_ERROR_NOT_ORG;
    case org::RenderError::kDamaged:
      return ORGSYNTH_ERROR_DAMAGED;
    case org::RenderError::kZeroWait:
      return ORGSYNTH_ERROR_ZERO_STEP;
    case org::RenderError::kBadRate:
      return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  }
  return ORGSYNTH_ERROR_INVALID_ARGUMENT;
}

// The caller's options, with every field it left zero (or did not know of) at its default.
orgsynth_options CompleteOptions(const orgsynth_options* given) {
  orgsynth_options options{};
  options.size = sizeof options;
  if (given && given->size > 0) std::memcpy(&options, given, std::min(given->size, sizeof options));
  if (options.sample_rate == 0) options.sample_rate = kDefaultRate;
  return options;
}

// The caller's drum function, falling silent where it has no drum.
org::DrumProvider CallerDrums(orgsynth_drum_function get_drum, void* user) {
  return [get_drum, user](int, int drum, std::vector<uint8_t>* bytes) {
    const void* data = nullptr;
    size_t size = 0;
    if (!get_drum(user, drum, &data, &size) || !data) return false;
    const uint8_t* from = static_cast<const uint8_t*>(data);
    bytes->assign(from, from + size);
    return true;
  };
}

orgsynth_song* Open(const void* data, size_t size, const orgsynth_options* given,
                    orgsynth_error* error) {
  if (!data && size > 0) {
    SetError(error, ORGSYNTH_ERROR_INVALID_ARGUMENT, "no song bytes were given");
    return nullptr;
  }
  const orgsynth_options options = CompleteOptions(given);
  if (options.interpolation != ORGSYNTH_INTERPOLATION_LINEAR &&
      options.interpolation != ORGSYNTH_INTERPOLATION_NEAREST) {
    SetError(error, ORGSYNTH_ERROR_INVALID_ARGUMENT, "unknown interpolation");
    return nullptr;
  }
  if (options.wave_bank && options.wave_bank_size == 0) {
    SetError(error, ORGSYNTH_ERROR_INVALID_ARGUMENT, "the waveform bank has no bytes");
    return nullptr;
  }
  org::RenderSettings settings;
  settings.rate = static_cast<int>(std::min<uint32_t>(options.sample_rate, 1u << 30));
  settings.nearest = options.interpolation == ORGSYNTH_INTERPOLATION_NEAREST;
  if (options.wave_bank)
    settings.bank = org::WaveBank::Overlay(nullptr, static_cast<const uint8_t*>(options.wave_bank),
                                           options.wave_bank_size);
  if (options.get_drum) settings.drums = CallerDrums(options.get_drum, options.drum_user);
  org::RenderError failure = org::RenderError::kNone;
  std::string reason;
  std::unique_ptr<org::SongRenderer> renderer =
      org::SongRenderer::Open(static_cast<const uint8_t*>(data), size, settings, &failure, &reason);
  if (!renderer) {
    SetError(error, CodeOf(failure), reason.c_str());
    return nullptr;
  }
  auto* song = new orgsynth_song;
  song->renderer = renderer.release();
  SetError(error, ORGSYNTH_OK, "");
  return song;
}

bool ValidTrack(int track) { return track >= 0 && track < ORGSYNTH_TRACKS; }

// Copies a filled struct into the caller's, up to the size the caller gave (its own sizeof: an
// older, smaller struct gets the members it knows of).
template <typename Struct>
void CopySized(Struct* to, const Struct& from) {
  std::memcpy(to, &from, std::min(to->size, sizeof from));
}

}  // namespace

extern "C" {

const char* orgsynth_version(void) { return ORGSYNTH_VERSION_STRING; }

const char* orgsynth_error_string(int code) {
  switch (code) {
    case ORGSYNTH_OK:
      return "no error";
    case ORGSYNTH_ERROR_INVALID_ARGUMENT:
      return "an argument is missing or out of range";
    case ORGSYNTH_ERROR_NOT_ORG:
      return "not an Org song";
    case ORGSYNTH_ERROR_DAMAGED:
      return "a damaged Org song";
    case ORGSYNTH_ERROR_ZERO_STEP:
      return "the song's step length is 0 ms";
    case ORGSYNTH_ERROR_OUT_OF_MEMORY:
      return "out of memory";
    case ORGSYNTH_ERROR_NO_VOICE:
      return "every voice for notes is sounding";
    default:
      return "unknown error";
  }
}

int orgsynth_probe(const void* data, size_t size) {
  return org::HasOrgMagic(static_cast<const uint8_t*>(data), size) ? 1 : 0;
}

orgsynth_song* orgsynth_open_memory(const void* data, size_t size, const orgsynth_options* options,
                                    orgsynth_error* error) {
  try {
    return Open(data, size, options, error);
  } catch (const std::bad_alloc&) {
    SetError(error, ORGSYNTH_ERROR_OUT_OF_MEMORY, "out of memory");
  } catch (const std::length_error&) {
    SetError(error, ORGSYNTH_ERROR_OUT_OF_MEMORY, "out of memory (a size too large to hold)");
  } catch (const std::exception& e) {
    // Nothing of ours throws anything else: it came from the caller's drum function.
    const std::string why = std::string("the song could not be opened: ") + e.what();
    SetError(error, ORGSYNTH_ERROR_INVALID_ARGUMENT, why.c_str());
  } catch (...) {
    SetError(error, ORGSYNTH_ERROR_INVALID_ARGUMENT,
             "the song could not be opened: the drum function threw");
  }
  return nullptr;
}

void orgsynth_close(orgsynth_song* song) {
  if (!song) return;
  delete &Renderer(song);
  delete song;
}

size_t orgsynth_render_s16(orgsynth_song* song, int16_t* stereo, size_t frames) {
  if (!song || !stereo) return 0;
  return Renderer(song).RenderS16(stereo, frames);
}

size_t orgsynth_render_f32(orgsynth_song* song, float* stereo, size_t frames) {
  if (!song || !stereo) return 0;
  return Renderer(song).RenderF32(stereo, frames);
}

void orgsynth_set_repeat_count(orgsynth_song* song, int count) {
  if (song) Renderer(song).SetRepeatCount(count);
}

int orgsynth_get_repeat_count(const orgsynth_song* song) {
  return song ? Renderer(song).repeat_count() : -1;
}

void orgsynth_set_fade(orgsynth_song* song, uint32_t ms) {
  if (!song) return;
  const int64_t rate = Renderer(song).rate();
  Renderer(song).SetEndFadeFrames((int64_t{ms} * rate + 500) / 1000);
}

int orgsynth_seek(orgsynth_song* song, uint64_t frame) {
  if (!song) return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  Renderer(song).Seek(frame);
  return ORGSYNTH_OK;
}

uint64_t orgsynth_position(const orgsynth_song* song) {
  return song ? Renderer(song).Position() : 0;
}

int64_t orgsynth_length(const orgsynth_song* song) { return song ? Renderer(song).Length() : -1; }

void orgsynth_set_track_mute(orgsynth_song* song, int track, int muted) {
  if (song && ValidTrack(track)) Renderer(song).engine().SetTrackMuted(track, muted != 0);
}

int orgsynth_get_track_mute(const orgsynth_song* song, int track) {
  return song && Renderer(song).engine().track_muted(track) ? 1 : 0;
}

int orgsynth_get_info(const orgsynth_song* song, orgsynth_info* info) {
  if (!song || !info || info->size < offsetof(orgsynth_info, tracks))
    return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  const org::SongRenderer& renderer = Renderer(song);
  const org::ParsedSong& s = renderer.song();
  orgsynth_info out{};
  out.size = info->size;
  out.version = s.version;
  out.sample_rate = static_cast<uint32_t>(renderer.rate());
  out.step_ms = s.wait;
  out.beats_per_bar = s.meter[0];
  out.steps_per_beat = s.meter[1];
  out.loop_start_step = s.loop_start;
  out.loop_end_step = s.loop_end;
  // Step s first sounds on tick s + 1 (after the lead); the loop as the jukebox plays it (a loop
  // of no steps repeats its start step, a start outside the loop is first reached by the jump).
  const org::SongLoop loop = org::LoopOf(s);
  const int64_t start = renderer.TickFrameFromStart(org::kLeadSteps + loop.intro_steps);
  const int64_t end = renderer.TickFrameFromStart(org::kLeadSteps + loop.intro_steps + loop.loop_steps);
  out.loop_start_frame = static_cast<uint64_t>(start);
  out.loop_end_frame = static_cast<uint64_t>(end);
  out.intro_frames = out.loop_start_frame;
  out.loop_frames = out.loop_end_frame - out.loop_start_frame;
  for (int t = 0; t < ORGSYNTH_TRACKS; ++t) {
    const org::ParsedSong::Track& track = s.tracks[t];
    out.tracks[t].instrument = track.wave;
    out.tracks[t].finetune = static_cast<int>(track.finetune) - 1000;
    out.tracks[t].one_shot = track.one_shot ? 1 : 0;
    out.tracks[t].note_count = static_cast<uint32_t>(track.events.size());
  }
  CopySized(info, out);
  return ORGSYNTH_OK;
}

const char* orgsynth_drum_name(int drum) { return org::DrumName(drum); }

int orgsynth_builtin_drum(int drum, const void** data, size_t* size) {
  if (!data || !size || drum < 0 || drum >= ORGSYNTH_DRUMS) return 0;
  try {
    const std::vector<uint8_t>& wav = org::BuiltInDrumWav(drum);
    *data = wav.data();
    *size = wav.size();
    return wav.empty() ? 0 : 1;
  } catch (...) {
    return 0;
  }
}

size_t orgsynth_get_events(const orgsynth_song* song, int track, size_t first,
                           orgsynth_event* events, size_t capacity) {
  if (!song || !events || !ValidTrack(track)) return 0;
  const std::vector<org::OrgEvent>& all = Renderer(song).song().tracks[track].events;
  if (first >= all.size()) return 0;
  const size_t count = std::min(capacity, all.size() - first);
  for (size_t i = 0; i < count; ++i) {
    const org::OrgEvent& e = all[first + i];
    events[i] = {e.position, e.key, e.length, e.volume, e.pan};
  }
  return count;
}

int orgsynth_get_playing(const orgsynth_song* song, orgsynth_playing* playing) {
  if (!song || !playing || playing->size < offsetof(orgsynth_playing, step) + sizeof playing->step)
    return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  const org::Engine& engine = Renderer(song).engine();
  orgsynth_playing out{};
  out.size = playing->size;
  out.step = engine.last_played_step();
  out.loop_count = engine.loop_count();
  CopySized(playing, out);
  return ORGSYNTH_OK;
}

int orgsynth_get_track_state(const orgsynth_song* song, int track, orgsynth_track_state* state) {
  if (!song || !state || !ValidTrack(track) ||
      state->size < offsetof(orgsynth_track_state, key) + sizeof state->key)
    return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  org::SongRenderer& renderer = Renderer(song);
  const org::TrackState now = renderer.engine().track_state(track);
  orgsynth_track_state out{};
  out.size = state->size;
  out.key = now.key;
  out.volume = now.volume;
  out.pan = now.pan;
  out.muted = renderer.engine().track_muted(track) ? 1 : 0;
  out.peak = song->levels ? renderer.TrackPeak(track) : 0.0f;
  CopySized(state, out);
  return ORGSYNTH_OK;
}

void orgsynth_set_levels(orgsynth_song* song, int on) {
  if (!song) return;
  song->levels = on != 0;
  Renderer(song).SetMetering(on != 0);
}

int orgsynth_set_scope_frames(orgsynth_song* song, size_t frames) {
  if (!song || frames > (1u << 24)) return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  try {
    Renderer(song).SetScopeFrames(static_cast<int>(frames));
  } catch (const std::bad_alloc&) {
    return ORGSYNTH_ERROR_OUT_OF_MEMORY;
  }
  return ORGSYNTH_OK;
}

size_t orgsynth_get_scope(orgsynth_song* song, int track, float* mono, size_t count) {
  if (!song || !mono || !ValidTrack(track)) return 0;
  const int asked = static_cast<int>(std::min<size_t>(count, 1u << 24));
  return static_cast<size_t>(Renderer(song).CopyScope(track, mono, asked));
}

/* ==== 1.1: interactive playback ==== */

int orgsynth_set_tempo_factor(orgsynth_song* song, double factor) {
  // Written so that a NaN is refused too.
  if (!song || !(factor >= 0.25 && factor <= 4.0)) return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  Renderer(song).SetTempoFactor(factor);
  return ORGSYNTH_OK;
}

double orgsynth_get_tempo_factor(const orgsynth_song* song) {
  return song ? Renderer(song).tempo_factor() : 1.0;
}

int orgsynth_set_transpose(orgsynth_song* song, int semitones, int cents) {
  if (!song || semitones < -24 || semitones > 24 || cents < -100 || cents > 100)
    return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  org::SongRenderer& renderer = Renderer(song);
  renderer.SetTranspose(semitones, cents, renderer.transpose_drums());
  return ORGSYNTH_OK;
}

int orgsynth_set_transpose_drums(orgsynth_song* song, int on) {
  if (!song) return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  org::SongRenderer& renderer = Renderer(song);
  renderer.SetTranspose(renderer.transpose_semitones(), renderer.transpose_cents(), on != 0);
  return ORGSYNTH_OK;
}

int orgsynth_set_track_gain(orgsynth_song* song, int track, double gain, uint32_t fade_ms) {
  if (!song || (track != ORGSYNTH_MASTER && !ValidTrack(track)) || !(gain >= 0.0 && gain <= 1.0))
    return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  org::SongRenderer& renderer = Renderer(song);
  renderer.SetTrackGain(track, gain, (int64_t{fade_ms} * renderer.rate() + 500) / 1000);
  return ORGSYNTH_OK;
}

double orgsynth_get_track_gain(const orgsynth_song* song, int track) {
  if (!song || (track != ORGSYNTH_MASTER && !ValidTrack(track))) return 1.0;
  return Renderer(song).track_gain(track);
}

int orgsynth_play_note(orgsynth_song* song, int track, int key, int volume, int pan) {
  if (!song) return -ORGSYNTH_ERROR_INVALID_ARGUMENT;
  const int voice = Renderer(song).notes().Start(track, key, volume, pan);
  if (voice >= 0) return voice;
  return voice == org::NoteVoices::kNoFreeVoice ? -ORGSYNTH_ERROR_NO_VOICE
                                                : -ORGSYNTH_ERROR_INVALID_ARGUMENT;
}

int orgsynth_stop_note(orgsynth_song* song, int voice) {
  if (!song || !Renderer(song).notes().Stop(voice)) return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  return ORGSYNTH_OK;
}

int orgsynth_get_loop_pass(const orgsynth_song* song) {
  return song ? Renderer(song).LoopPass() : 0;
}

int64_t orgsynth_next_loop_frame(const orgsynth_song* song) {
  return song ? Renderer(song).NextLoopFrame() : -1;
}

/* ==== end of 1.1: interactive playback ==== */

/* ==== 1.1: the library's defaults, and an end at a frame ==== */

uint32_t orgsynth_default_sample_rate(void) { return kDefaultRate; }

uint32_t orgsynth_jukebox_fade_ms(void) { return org::kJukeboxFadeMs; }

int orgsynth_set_end_frame(orgsynth_song* song, int64_t frame) {
  if (!song) return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  Renderer(song).SetEndFrame(frame);
  return ORGSYNTH_OK;
}

/* ==== end of 1.1: defaults and an end at a frame ==== */

}  // extern "C"

// ==== Since 1.1: song data for editors (the Org reader and writer) ==============================
namespace {

// True when `value` is at most `most`; else false with a message naming `what`.
bool Fits(uint32_t value, uint32_t most, const std::string& what, std::string* why) {
  if (value <= most) return true;
  *why = what + " is " + std::to_string(value) + ": it must be 0.." + std::to_string(most);
  return false;
}

bool SongFromData(const orgsynth_song_data& data, org::ParsedSong* song, std::string* why) {
  if (data.version < 1 || data.version > 3) {
    *why = "a version other than 1, 2 or 3";
    return false;
  }
  if (!Fits(data.step_ms, 65535, "the step length", why) ||
      !Fits(data.beats_per_bar, 255, "the beats per bar", why) ||
      !Fits(data.steps_per_beat, 255, "the steps per beat", why))
    return false;
  song->version = static_cast<int>(data.version);
  song->wait = static_cast<uint16_t>(data.step_ms);
  song->meter[0] = static_cast<uint8_t>(data.beats_per_bar);
  song->meter[1] = static_cast<uint8_t>(data.steps_per_beat);
  song->loop_start = data.loop_start_step;
  song->loop_end = data.loop_end_step;
  for (int t = 0; t < ORGSYNTH_TRACKS; ++t) {
    const orgsynth_track_data& from = data.tracks[t];
    const std::string name = "track " + std::to_string(t);
    if (from.event_count > ORGSYNTH_EVENTS_PER_TRACK) {
      *why = name + " holds " + std::to_string(from.event_count) +
             " events: a track holds at most " + std::to_string(ORGSYNTH_EVENTS_PER_TRACK);
      return false;
    }
    if (from.event_count > 0 && !from.events) {
      *why = name + " has events but no event array";
      return false;
    }
    if (!Fits(from.instrument, 255, name + "'s instrument", why) ||
        !Fits(from.finetune, 65535, name + "'s finetune", why) ||
        !Fits(from.one_shot, 255, name + "'s one-shot byte", why))
      return false;
    org::ParsedSong::Track& track = song->tracks[t];
    track.wave = static_cast<uint8_t>(from.instrument);
    track.finetune = static_cast<uint16_t>(from.finetune);
    track.one_shot = static_cast<uint8_t>(from.one_shot);
    track.events.resize(from.event_count);
    for (uint32_t i = 0; i < from.event_count; ++i) {
      const orgsynth_event& e = from.events[i];
      track.events[i] = {e.step, e.key, e.length, e.volume, e.pan};
    }
  }
  return true;
}

int ReadSong(const void* data, size_t size, orgsynth_song_data* out, orgsynth_event* events,
             size_t capacity, orgsynth_error* error) {
  if (!data || !out || (!events && capacity > 0)) {
    SetError(error, ORGSYNTH_ERROR_INVALID_ARGUMENT, "no song bytes or no place for the song");
    return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  }
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  auto song = std::make_unique<org::ParsedSong>();
  const org::ParseResult parse = org::ParseOrgSong(bytes, size, song.get());
  if (parse != org::ParseResult::kOk) {
    const int code =
        parse == org::ParseResult::kNotOrg ? ORGSYNTH_ERROR_NOT_ORG : ORGSYNTH_ERROR_DAMAGED;
    SetError(error, code, orgsynth_error_string(code));
    return code;
  }
  size_t total = 0;
  for (const org::ParsedSong::Track& track : song->tracks) total += track.events.size();
  if (total > capacity) {
    SetError(
        error, ORGSYNTH_ERROR_INVALID_ARGUMENT,
        ("the song holds " + std::to_string(total) + " events: more than the room given").c_str());
    return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  }
  *out = orgsynth_song_data{};
  out->version = static_cast<uint32_t>(song->version);
  out->step_ms = song->wait;
  out->beats_per_bar = song->meter[0];
  out->steps_per_beat = song->meter[1];
  out->loop_start_step = song->loop_start;
  out->loop_end_step = song->loop_end;
  size_t next = 0;
  for (int t = 0; t < ORGSYNTH_TRACKS; ++t) {
    const org::ParsedSong::Track& track = song->tracks[t];
    orgsynth_track_data& to = out->tracks[t];
    to.instrument = track.wave;
    to.finetune = track.finetune;
    to.one_shot = track.one_shot;
    to.event_count = static_cast<uint32_t>(track.events.size());
    to.events = events ? events + next : nullptr;
    for (const org::OrgEvent& e : track.events)
      events[next++] = {e.position, e.key, e.length, e.volume, e.pan};
  }
  SetError(error, ORGSYNTH_OK, org::CanonicalFormNotes(bytes, size, *song).c_str());
  return ORGSYNTH_OK;
}

int WriteSong(const orgsynth_song_data* data, void* out, size_t capacity, size_t* written,
              orgsynth_error* error) {
  if (!data || !written || (!out && capacity > 0)) {
    SetError(error, ORGSYNTH_ERROR_INVALID_ARGUMENT, "no song or no place for its size");
    return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  }
  auto song = std::make_unique<org::ParsedSong>();
  std::string why;
  if (!SongFromData(*data, song.get(), &why)) {
    SetError(error, ORGSYNTH_ERROR_INVALID_ARGUMENT, why.c_str());
    return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  }
  *written = org::OrgFileSize(*song);
  if (*written > capacity) {
    SetError(error, ORGSYNTH_ERROR_INVALID_ARGUMENT,
             ("the output needs " + std::to_string(*written) + " bytes").c_str());
    return ORGSYNTH_ERROR_INVALID_ARGUMENT;
  }
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(*song);
  std::memcpy(out, bytes.data(), bytes.size());
  SetError(error, ORGSYNTH_OK, "");
  return ORGSYNTH_OK;
}

// The C entry points never let an exception out.
template <typename Call>
int Guarded(orgsynth_error* error, Call call) {
  try {
    return call();
  } catch (const std::bad_alloc&) {
    SetError(error, ORGSYNTH_ERROR_OUT_OF_MEMORY, "out of memory");
  } catch (...) {
    SetError(error, ORGSYNTH_ERROR_OUT_OF_MEMORY, "the song could not be handled");
  }
  return ORGSYNTH_ERROR_OUT_OF_MEMORY;
}

}  // namespace

extern "C" {

int orgsynth_read_song(const void* data, size_t size, orgsynth_song_data* song,
                       orgsynth_event* events, size_t capacity, orgsynth_error* error) {
  return Guarded(error, [&] { return ReadSong(data, size, song, events, capacity, error); });
}

int orgsynth_write_song(const orgsynth_song_data* song, void* out, size_t capacity, size_t* written,
                        orgsynth_error* error) {
  return Guarded(error, [&] { return WriteSong(song, out, capacity, written, error); });
}

}  // extern "C"
// ==== End of the song data functions (1.1) ======================================================
