/*
 * liborgsynth: plays Org songs (the step-sequenced chiptune format of eight melody tracks on
 * looping 8-bit waveforms and eight drum tracks on WAV samples) into PCM frames, exactly as the
 * Orvalinde jukebox and its tools play them.
 *
 * One song is one opaque orgsynth_song, opened from the bytes of an Org file. Nothing here opens
 * a file, writes anywhere, prints, or keeps global state that changes: the caller supplies the
 * song's bytes and, if it likes, its own waveform bank and drums; problems come back as error
 * codes with a readable message.
 *
 * Units: frames are stereo frames (one left and one right sample) at the song's sample rate;
 * steps are the song's own time unit (its "wait" milliseconds each); milliseconds are ms.
 * Rendered audio is interleaved stereo: left, right, left, right, ...
 *
 * Timing: the song's step 0 sounds one step after the start (the jukebox's timer plays its first
 * step one period after it starts), so step s sounds from frame round((s + 1) * wait * rate /
 * 1000).
 *
 * Threads: every function may be called from any thread. One orgsynth_song is used by one
 * thread at a time (calls on the same song must not overlap); different songs are independent
 * and may be rendered at the same time on different threads. Opening and closing allocate;
 * rendering, seeking and the queries below never allocate, never do I/O and never wait on a
 * lock another song holds, so they are fit for an audio callback.
 *
 * ABI: functions and the layout of the structs below stay as they are within a major version;
 * structs that begin with a `size` field may grow at their end, and the caller sets `size` to
 * sizeof the struct it was compiled with.
 */
#ifndef ORGSYNTH_H
#define ORGSYNTH_H

#include <stddef.h>
#include <stdint.h>

#define ORGSYNTH_VERSION_MAJOR 1
#define ORGSYNTH_VERSION_MINOR 1
#define ORGSYNTH_VERSION_PATCH 0
#define ORGSYNTH_VERSION_STRING "1.1.0"
/* The version as one number: major * 10000 + minor * 100 + patch. */
#define ORGSYNTH_VERSION_NUMBER \
  (ORGSYNTH_VERSION_MAJOR * 10000 + ORGSYNTH_VERSION_MINOR * 100 + ORGSYNTH_VERSION_PATCH)

#if defined(_WIN32)
#define ORGSYNTH_API /* orgsynth-1.dll exports by its .def file */
#elif defined(__GNUC__) || defined(__clang__)
#define ORGSYNTH_API __attribute__((visibility("default")))
#else
#define ORGSYNTH_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Sizes of the format. */
#define ORGSYNTH_TRACKS 16 /* tracks 0..7 melody, 8..15 drums */
#define ORGSYNTH_MELODY_TRACKS 8
#define ORGSYNTH_DRUMS 28              /* drum numbers 0..27 */
#define ORGSYNTH_WAVE_BANK_BYTES 25600 /* 100 waveforms of 256 signed 8-bit samples */
#define ORGSYNTH_NO_KEY 255            /* a key, volume or pan that is not there */

/* Error codes. 0 is success. */
#define ORGSYNTH_OK 0
#define ORGSYNTH_ERROR_INVALID_ARGUMENT 1 /* a null pointer, or a size or value out of range */
#define ORGSYNTH_ERROR_NOT_ORG 2          /* the bytes do not start with an Org magic */
#define ORGSYNTH_ERROR_DAMAGED 3          /* an Org song that ends early or counts too many */
#define ORGSYNTH_ERROR_ZERO_STEP 4        /* the song's step length is 0 ms: it cannot play */
#define ORGSYNTH_ERROR_OUT_OF_MEMORY 5    /* an allocation failed (or a size too large to hold) */

typedef struct orgsynth_error {
  int code;          /* ORGSYNTH_OK or an ORGSYNTH_ERROR_* */
  char message[256]; /* UTF-8, zero-terminated: what was wrong, in one line ("" when OK) */
} orgsynth_error;

/* The song: opaque. */
typedef struct orgsynth_song orgsynth_song;

#define ORGSYNTH_INTERPOLATION_LINEAR 0  /* the default, as the jukebox plays */
#define ORGSYNTH_INTERPOLATION_NEAREST 1 /* nearest sample: harder, grittier */

/*
 * Gives the bytes of a drum sample file for drum number `drum` (0..27): a RIFF WAV file, read
 * as the game reads it (its format record at byte 20, the data length at byte 54, the samples
 * from byte 58; 8-bit unsigned or 16-bit signed PCM, mono or stereo). Called while a song opens,
 * at most once per drum track, on the opening thread. Return nonzero and set `*data` and `*size`
 * to bytes that stay valid until the call returns (they are copied); return 0 for no drum (that
 * track stays silent). orgsynth_builtin_drum gives ours.
 */
typedef int (*orgsynth_drum_function)(void* user, int drum, const void** data, size_t* size);

typedef struct orgsynth_options {
  size_t size;          /* sizeof(orgsynth_options), set by the caller */
  uint32_t sample_rate; /* frames per second, 8000..192000; 0: 44100 */
  int interpolation;    /* ORGSYNTH_INTERPOLATION_*; 0: linear */
  /* The waveform bank: `wave_bank_size` bytes (at most 25,600 are read; a shorter bank leaves
     the rest of the waveforms silent). NULL: ours, built in. Copied during the open. */
  const void* wave_bank;
  size_t wave_bank_size;
  /* The drums. NULL: ours, built in. */
  orgsynth_drum_function get_drum;
  void* drum_user; /* handed to get_drum */
} orgsynth_options;

/* The library's version, "1.1.0" (the same as ORGSYNTH_VERSION_STRING of the header it was built
   with). */
ORGSYNTH_API const char* orgsynth_version(void);

/* A readable name for an error code ("not an Org song", ...); never NULL. */
ORGSYNTH_API const char* orgsynth_error_string(int code);

/* Nonzero when the first bytes look like an Org song (its six-byte magic, "Org-01", "Org-02" or
   "Org-03"). Cheap: for type finders and players deciding which decoder to use. */
ORGSYNTH_API int orgsynth_probe(const void* data, size_t size);

/*
 * Opens a song from the bytes of an Org file (copied: `data` may be freed afterwards). `options`
 * may be NULL (44100 Hz, linear interpolation, our bank and drums); a field left zero means its
 * default. `error` may be NULL. Returns the song, or NULL with `error` filled in (a C++
 * exception out of the drum function is ORGSYNTH_ERROR_INVALID_ARGUMENT with its text, an
 * allocation that failed ORGSYNTH_ERROR_OUT_OF_MEMORY). A new song is
 * at frame 0, plays endlessly (repeat count -1), without fade, nothing muted.
 */
ORGSYNTH_API orgsynth_song* orgsynth_open_memory(const void* data, size_t size,
                                                 const orgsynth_options* options,
                                                 orgsynth_error* error);

/* Closes a song and frees everything it holds. NULL is allowed. */
ORGSYNTH_API void orgsynth_close(orgsynth_song* song);

/*
 * Renders up to `frames` frames into `stereo` (2 * frames values). Returns the frames written:
 * fewer than asked only at the song's end, 0 after it. s16 saturates to 16 bits; f32 is the same
 * mix before saturation, scaled by 1/32768 (loud passages may exceed 1.0 there). The fade
 * applies to the mix before either (the faded mix is rounded to whole 16-bit steps), so where
 * the s16 output does not saturate, f32 * 32768 equals it exactly, fading or not.
 */
ORGSYNTH_API size_t orgsynth_render_s16(orgsynth_song* song, int16_t* stereo, size_t frames);
ORGSYNTH_API size_t orgsynth_render_f32(orgsynth_song* song, float* stereo, size_t frames);

/*
 * Where the song ends. -1: never (the default; it loops as the jukebox plays it). n >= 0: the
 * intro and the loop n + 1 times, then the end (n = 1 is what `org2wav --loops 2` renders);
 * a loop whose end is at or before its start is its start step repeated, one step a pass.
 * Values below -1 count as -1. Keeps the position. Lengths past 2^63 - 1 frames are that.
 */
ORGSYNTH_API void orgsynth_set_repeat_count(orgsynth_song* song, int count);
ORGSYNTH_API int orgsynth_get_repeat_count(const orgsynth_song* song);

/* A linear fade over `ms` milliseconds after the end (none when endless), as `org2wav --fade`
   makes it; the song's length grows by it. 0: none (the default). */
ORGSYNTH_API void orgsynth_set_fade(orgsynth_song* song, uint32_t ms);

/*
 * Moves to `frame` exactly: rendering afterwards gives the very samples a render from the start
 * gives from that frame on (voices, phases, volumes, pans, ringing notes, mutes and the fade
 * included). A frame past the end moves to the end. Costs time in proportion to the song's steps
 * before the frame, never to its frames, and once the song's whole state at its loop start
 * repeats (usually within a few passes), or its steps do while its voices' phases drift on, no
 * more however far the frame lies. Returns ORGSYNTH_OK, or ORGSYNTH_ERROR_INVALID_ARGUMENT for a
 * NULL song.
 */
ORGSYNTH_API int orgsynth_seek(orgsynth_song* song, uint64_t frame);

/* The next frame to be rendered (frames rendered since the start, after seeks). */
ORGSYNTH_API uint64_t orgsynth_position(const orgsynth_song* song);

/* Frames from the start to the end (the fade included) for the current repeat count; -1 when
   endless. */
ORGSYNTH_API int64_t orgsynth_length(const orgsynth_song* song);

/*
 * Mutes or unmutes track 0..15 (0..7 melody, 8..15 drums) live: a muted track's voices go on
 * playing unheard, so unmuting mid-note is seamless, and a render with track t muted equals
 * `org2wav --mute t`. Other track numbers are ignored.
 */
ORGSYNTH_API void orgsynth_set_track_mute(orgsynth_song* song, int track, int muted);
ORGSYNTH_API int orgsynth_get_track_mute(const orgsynth_song* song, int track);

typedef struct orgsynth_track_info {
  int instrument;      /* melody: waveform 0..99 (above: silent); drums: drum 0..27 (above:
                          none) */
  int finetune;        /* melody: added to every rate in samples per second, -1000..64535 */
  int one_shot;        /* melody: nonzero when each note plays a fixed number of periods */
  uint32_t note_count; /* events of the track, 0..4096 */
} orgsynth_track_info;

typedef struct orgsynth_info {
  size_t size;            /* sizeof(orgsynth_info), set by the caller */
  int version;            /* 1, 2 or 3: the file's magic "Org-01".."Org-03" */
  uint32_t sample_rate;   /* frames per second of this song's output */
  uint32_t step_ms;       /* milliseconds per step */
  uint32_t beats_per_bar; /* the meter, as stored (not used by playback) */
  uint32_t steps_per_beat;
  int32_t loop_start_step;   /* the step playback returns to */
  int32_t loop_end_step;     /* the step at which it returns (never played itself) */
  uint64_t loop_start_frame; /* the frame on which step loop_start_step first sounds */
  uint64_t loop_end_frame;   /* the frame on which the first pass of the loop ends */
  uint64_t intro_frames;     /* frames before the loop first starts (= loop_start_frame) */
  uint64_t loop_frames;      /* frames of one pass of the loop */
  orgsynth_track_info tracks[ORGSYNTH_TRACKS];
} orgsynth_info;

/* Fills `info` (up to info->size bytes). Returns ORGSYNTH_OK, or ORGSYNTH_ERROR_INVALID_ARGUMENT
   for a NULL argument or an info->size too small for the fields before `tracks`. */
ORGSYNTH_API int orgsynth_get_info(const orgsynth_song* song, orgsynth_info* info);

/* The name of drum 0..27 ("Bass01", "Snare01", ... "Cat"), or NULL outside. */
ORGSYNTH_API const char* orgsynth_drum_name(int drum);

/* Our drum `drum` (0..27) as WAV bytes that stay valid for the life of the program (for a drum
   function that falls back to ours). Returns nonzero when there is one. */
ORGSYNTH_API int orgsynth_builtin_drum(int drum, const void** data, size_t* size);

/* One event of a track, as stored in the file. */
typedef struct orgsynth_event {
  int32_t step;   /* the step it happens on */
  uint8_t key;    /* 0..95 = octave * 12 + semitone (0 = C); ORGSYNTH_NO_KEY: none */
  uint8_t length; /* steps a melody note sounds */
  uint8_t volume; /* 0..254; ORGSYNTH_NO_KEY: unchanged */
  uint8_t pan;    /* 0..12 (6 centre); ORGSYNTH_NO_KEY: unchanged */
} orgsynth_event;

/* Copies up to `capacity` events of `track` from event `first` on into `events`; returns the
   number copied (0 for a bad track or past the last event). For piano rolls. */
ORGSYNTH_API size_t orgsynth_get_events(const orgsynth_song* song, int track, size_t first,
                                        orgsynth_event* events, size_t capacity);

typedef struct orgsynth_playing {
  size_t size;        /* sizeof(orgsynth_playing), set by the caller */
  int32_t step;       /* the step that sounds now (the last one played), -1 before the first */
  int32_t loop_count; /* how often playback has returned to the loop start */
} orgsynth_playing;

/* Where the song is, in its own steps, after the frames rendered so far. Returns ORGSYNTH_OK, or
   ORGSYNTH_ERROR_INVALID_ARGUMENT for a NULL argument or a playing->size too small for `step`;
   an older, smaller struct gets the members it holds. The loop count turns over as the loop's
   start step sounds again, after the pass's last step has sounded whole. */
ORGSYNTH_API int orgsynth_get_playing(const orgsynth_song* song, orgsynth_playing* playing);

typedef struct orgsynth_track_state {
  size_t size; /* sizeof(orgsynth_track_state), set by the caller */
  int key;     /* melody: the sounding key 0..95; drums: the key of a drum still sounding;
                  ORGSYNTH_NO_KEY when none */
  int volume;  /* the track's volume 0..254 */
  int pan;     /* the last pan an event set, 0..12 (6: centre) */
  int muted;   /* nonzero when muted */
  float peak;  /* the peak of the track's own output over the last render call: 1.0 is
                  full scale (a loud track may go above); 0 while levels are off */
} orgsynth_track_state;

/* Fills the state of track 0..15 (up to state->size bytes: an older, smaller struct gets the
   members it holds). Returns ORGSYNTH_OK, or ORGSYNTH_ERROR_INVALID_ARGUMENT for a NULL argument,
   a bad track or a state->size too small for `key`. */
ORGSYNTH_API int orgsynth_get_track_state(const orgsynth_song* song, int track,
                                          orgsynth_track_state* state);

/* Track levels (the `peak` above): off by default; on, rendering costs about a fifth more. */
ORGSYNTH_API void orgsynth_set_levels(orgsynth_song* song, int on);

/*
 * Scopes: keep the last `frames` frames of each track's own signal (mono: the mean of left and
 * right, before the master fade), for oscilloscopes. 0 turns them off (the default; no cost
 * then). Allocates: not from an audio callback. Returns ORGSYNTH_OK, or an error code.
 */
ORGSYNTH_API int orgsynth_set_scope_frames(orgsynth_song* song, size_t frames);

/* Copies the newest min(count, scope frames) values of `track`'s scope into `mono`, oldest
   first, 1.0 being full scale; returns how many (fewer while less has been rendered since the
   scopes began or since the last seek). */
ORGSYNTH_API size_t orgsynth_get_scope(orgsynth_song* song, int track, float* mono, size_t count);

/* ==== Since 1.1: song data for editors (the Org reader and writer) =====================
 * An Org file as plain, editable data and back, without opening it for playback: an editor
 * reads a file into an orgsynth_song_data, changes it, writes it back with orgsynth_write_song
 * and opens the bytes with orgsynth_open_memory to hear them. A file this library wrote reads
 * back and writes again byte for byte; any file the reader accepts reads back the same after a
 * write. Neither function allocates or keeps anything; both may be called from any thread. */

#define ORGSYNTH_EVENTS_PER_TRACK 4096 /* the most events a track may hold */
#define ORGSYNTH_SONG_EVENTS (ORGSYNTH_TRACKS * ORGSYNTH_EVENTS_PER_TRACK) /* always enough */

typedef struct orgsynth_track_data {
  uint32_t instrument;    /* as stored, 0..255: melody waveform 0..99, drum 0..27 */
  uint32_t finetune;      /* as stored, 0..65535: 1000 is in tune (orgsynth_info's 0) */
  uint32_t one_shot;      /* as stored, 0..255: nonzero plays one-shot (version 1 reads 0) */
  uint32_t event_count;   /* 0..ORGSYNTH_EVENTS_PER_TRACK */
  orgsynth_event* events; /* event_count events, in the order they are stored and played */
} orgsynth_track_data;

typedef struct orgsynth_song_data {
  uint32_t version;        /* 1, 2 or 3: "Org-01" .. "Org-03" */
  uint32_t step_ms;        /* milliseconds per step, 0..65535 (0 cannot be played) */
  uint32_t beats_per_bar;  /* 0..255, as stored */
  uint32_t steps_per_beat; /* 0..255, as stored */
  int32_t loop_start_step; /* the step playback returns to */
  int32_t loop_end_step;   /* the step at which it returns */
  orgsynth_track_data tracks[ORGSYNTH_TRACKS];
} orgsynth_song_data;

/*
 * Reads the bytes of an Org file into `song`; the events go into `events` (room for `capacity`
 * events: ORGSYNTH_SONG_EVENTS always suffice), each track's `events` pointing into it. Returns
 * ORGSYNTH_OK, ORGSYNTH_ERROR_NOT_ORG, ORGSYNTH_ERROR_DAMAGED, or ORGSYNTH_ERROR_INVALID_ARGUMENT
 * (a NULL argument, or fewer than the file's events of room). On success `error->message` says,
 * one sentence per line, where the file differs from what orgsynth_write_song writes back
 * (bytes after the last event, unused fields) or where its events are out of step order ("" when
 * the file is exactly what the writer gives); a song of step length 0 reads (it cannot play).
 */
ORGSYNTH_API int orgsynth_read_song(const void* data, size_t size, orgsynth_song_data* song,
                                    orgsynth_event* events, size_t capacity, orgsynth_error* error);

/*
 * Writes `song` as an Org file into `out` (room for `capacity` bytes; `out` may be NULL with
 * `capacity` 0 to learn the size). `*written` (required) is set to the file's size in bytes,
 * 114 + 8 per event, also when `capacity` is too small (then nothing is written and the result
 * is ORGSYNTH_ERROR_INVALID_ARGUMENT with the message "the output needs N bytes"). A value the
 * format cannot hold is refused with ORGSYNTH_ERROR_INVALID_ARGUMENT and a message naming it
 * ("track 3 holds 4097 events: a track holds at most 4096", "a version other than 1, 2 or 3",
 * a step length, meter, instrument, finetune or one-shot out of its range).
 */
ORGSYNTH_API int orgsynth_write_song(const orgsynth_song_data* song, void* out, size_t capacity,
                                     size_t* written, orgsynth_error* error);
/* ==== End of the song data functions (1.1) ================================================== */
/* ==== 1.1: interactive playback (tempo, transposition, gains and fades, notes over the song,
 * loop events) ====
 *
 * For games and other programs that steer the music while it plays. Every control here is
 * neutral at its default (tempo 1, no transposition, gains 1, no notes): a song then renders
 * exactly the bytes 1.0 renders. Thread rules as above: one song is one thread's at a time;
 * every function in this section is fit for an audio callback (no allocation, no lock, no I/O)
 * and takes effect at the song's position, between two rendered frames. Available since 1.1
 * (ORGSYNTH_VERSION_NUMBER >= 10100; the symbols are versioned ORGSYNTH_1.1).
 */

#define ORGSYNTH_ERROR_NO_VOICE 10 /* every voice for notes over the song is sounding */
#define ORGSYNTH_NOTE_VOICES 8     /* voices for notes over the song, beside the 16 tracks */
#define ORGSYNTH_MASTER (-1)       /* the track number of the whole mix, for the gain */

/*
 * Tempo: from the position on, each step lasts step_ms / factor ms (2: twice as fast; the
 * pitch is kept), factor 0.25..4 (1: the song's own tempo). While the factor holds from the
 * start, step s sounds from frame round((s + 1) * step_ms * rate / (1000 * factor)), and
 * orgsynth_length, orgsynth_get_info's frames and the loop frames below are at that tempo.
 * A change while playing keeps the part of the current step already heard (no jump in the
 * sound); a seek afterwards places the song where a render from the start at the new factor
 * would be. Returns ORGSYNTH_OK, or ORGSYNTH_ERROR_INVALID_ARGUMENT (NULL song, factor outside
 * 0.25..4), changing nothing.
 */
ORGSYNTH_API int orgsynth_set_tempo_factor(orgsynth_song* song, double factor);
ORGSYNTH_API double orgsynth_get_tempo_factor(const orgsynth_song* song); /* 1.0 for NULL */

/*
 * Transposition of the melody tracks by `semitones` (-24..24) and `cents` (-100..100): every
 * melody rate is multiplied by 2^((100 * semitones + cents) / 1200) (+12: each note an octave
 * higher, its frequency doubled), within the 100..200000 Hz the voices take. Sounding notes are
 * retuned at once; seeks stay exact. Drums play as the game plays them unless
 * orgsynth_set_transpose_drums turns them on too. Notes over the song are not transposed.
 * Returns ORGSYNTH_OK or ORGSYNTH_ERROR_INVALID_ARGUMENT (changing nothing).
 */
ORGSYNTH_API int orgsynth_set_transpose(orgsynth_song* song, int semitones, int cents);
/* Nonzero: the drums are transposed too (from their next hit on); 0: not (the default). */
ORGSYNTH_API int orgsynth_set_transpose_drums(orgsynth_song* song, int on);

/*
 * The gain of track 0..15's own output, or of the whole mix (track ORGSYNTH_MASTER, -1):
 * linear, 0 (silent) .. 1 (as written; the default). It moves in a straight line from the
 * current gain to `gain` over `fade_ms` ms (0: at once), sample by sample: with the position at
 * frame p when called, frame p + round(fade_ms * rate / 1000) is the first at `gain`. A new call
 * starts from wherever the fade is. Composes with mute (a muted track stays silent while its
 * gain moves on) and with orgsynth_set_fade (that fade scales what this gives). A seek
 * completes a fade under way. Returns ORGSYNTH_OK or ORGSYNTH_ERROR_INVALID_ARGUMENT (NULL
 * song, track outside -1..15, gain outside 0..1).
 */
ORGSYNTH_API int orgsynth_set_track_gain(orgsynth_song* song, int track, double gain,
                                         uint32_t fade_ms);
/* The gain the next frame has (0..1), mid-fade included; 1.0 for a bad argument. */
ORGSYNTH_API double orgsynth_get_track_gain(const orgsynth_song* song, int track);

/*
 * Notes over the song, on ORGSYNTH_NOTE_VOICES voices of their own: a note with the instrument
 * of track 0..15 (a melody track's waveform, with the track's finetune, sustained until stopped
 * or, on a one-shot track, its fixed periods; a drum track's drum, played once) at `key` (0..95:
 * octave * 12 + semitone for melody, the drum's key for drums, as in orgsynth_event), `volume`
 * 0..254 and `pan` 0..12 (6: centre). Returns the voice, 0..ORGSYNTH_NOTE_VOICES - 1, or a
 * negative error: -ORGSYNTH_ERROR_NO_VOICE when every voice sounds, -ORGSYNTH_ERROR_INVALID_
 * ARGUMENT for a value out of range or a track without an instrument. The voices belong to no
 * track: mutes and track gains leave them alone, the master gain does not. A seek silences them.
 */
ORGSYNTH_API int orgsynth_play_note(orgsynth_song* song, int track, int key, int volume, int pan);
/* Ends the note on `voice`: a sustained melody note finishes the period under way (no click),
   any other stops at once. Stopping a silent voice is fine. Returns ORGSYNTH_OK or
   ORGSYNTH_ERROR_INVALID_ARGUMENT. */
ORGSYNTH_API int orgsynth_stop_note(orgsynth_song* song, int voice);

/*
 * Loop events. orgsynth_get_loop_pass: how many times playback has come back to the loop start
 * in the frames rendered so far (0 during the intro and the first pass; 1 from the first frame
 * of the second pass on; never counting returns after the end). orgsynth_next_loop_frame: the
 * frame, at or after orgsynth_position, on which the loop start sounds next; -1 when it never
 * will (a song without a loop, or one that ends first). Before rendering a block of n frames
 * from position p, a frame f with p <= f < p + n says a pass begins at frame f - p of the
 * block: a game renders up to it, changes section, and renders on. At tempo 1 from the start,
 * pass k (k >= 1) begins on frame loop_start_frame + k * loop_frames of orgsynth_info (within a
 * frame when a step is not a whole number of frames). -1 / 0 for a NULL song.
 */
ORGSYNTH_API int orgsynth_get_loop_pass(const orgsynth_song* song);
ORGSYNTH_API int64_t orgsynth_next_loop_frame(const orgsynth_song* song);

/* ==== end of 1.1: interactive playback ==== */

/* ==== 1.1: the library's defaults, and an end at a frame ====
 * For players that end a song as the jukebox does (its time limit, then its fade) and for
 * programs that need the library's own numbers instead of copies of them (the web page reaches
 * them through the WebAssembly module). Thread rules as above; the two defaults may be called
 * from any thread at any time. Available since 1.1 (the symbols are versioned ORGSYNTH_1.1).
 */

/* The sample rate a song opens at when its options leave sample_rate 0, in frames per second
   (44100). */
ORGSYNTH_API uint32_t orgsynth_default_sample_rate(void);

/* The length of the jukebox's fade into the next song, in milliseconds (127 of its 35 ms frames:
   4445). The jukebox lowers the music's master volume over it; a player of this library gives
   the same length to orgsynth_set_fade for its own linear fade after a time limit. */
ORGSYNTH_API uint32_t orgsynth_jukebox_fade_ms(void);

/*
 * Ends the song at frame `frame` (then the fade of orgsynth_set_fade follows, and the song's
 * length is frame plus the fade), whatever the repeat count says; -1 (any negative frame): the
 * repeat count decides again, as it does by default. orgsynth_set_repeat_count clears the end
 * frame. Keeps the position: a song already past the new end (and its fade) renders nothing
 * more. Returns ORGSYNTH_OK or ORGSYNTH_ERROR_INVALID_ARGUMENT (NULL song). Fit for an audio
 * callback (no allocation, no lock, no I/O).
 */
ORGSYNTH_API int orgsynth_set_end_frame(orgsynth_song* song, int64_t frame);

/* ==== end of 1.1: defaults and an end at a frame ==== */

#ifdef __cplusplus
}
#endif

#endif /* ORGSYNTH_H */
