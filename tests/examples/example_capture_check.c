/* Compares what an example program gave its audio output (16-bit stereo at 44100 Hz, captured by
 * SDL's disk driver or written by the program) with liborgsynth's own render of the same song,
 * from the start: every frame of the first FRAMES must be equal. The capture may begin with
 * silence the output played before the program started it (SDL's device runs paused first):
 * the song is looked for after that.
 * Usage: example_capture_check SONG CAPTURE FRAMES [effects | sections FILE START]
 *        example_capture_check SONG --loop-end   (prints the frame the loop first returns on)
 *   effects: the sound effects sdl_mixer_player plays, at their frames: a drum hit (track 8,
 *   key 60, volume 254, pan 8) on frame 44100, and a note (track 0, key 72, volume 220, pan 4)
 *   on the first frame of each new pass of the loop.
 *   sections FILE START: the LÖVE game's sections, from frame START on: "calm" (the drum
 *   tracks 8..15 at gain 0, tempo 1) at first, then each "FRAME NAME" line of FILE ("battle":
 *   the drums at gain 1, tempo 1.25) on its frame, which must be one on which the loop comes
 *   round.
 * Prints where the first difference is, and exits 1 then. */
#include <orgsynth.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned char song_bytes[1 << 20];

/* Frames of silence at the start of `stereo`. */
static size_t leading_silence(const int16_t* stereo, size_t frames) {
  size_t i = 0;
  while (i < frames && stereo[2 * i] == 0 && stereo[2 * i + 1] == 0) ++i;
  return i;
}

/* The LÖVE game's section: its drums and tempo. */
static void apply_section(orgsynth_song* song, const char* name) {
  int battle = strcmp(name, "battle") == 0, track;
  for (track = 8; track < 16; ++track) orgsynth_set_track_gain(song, track, battle ? 1 : 0, 0);
  orgsynth_set_tempo_factor(song, battle ? 1.25 : 1);
}

typedef struct script {
  int effects;
  FILE* sections; /* the section switches, or NULL */
  long long switch_at; /* the next switch's frame (from the song's start), -1: none */
  char switch_to[32];
} script;

static void next_switch(script* s) {
  s->switch_at = -1;
  if (s->sections && fscanf(s->sections, "%lld %31s", &s->switch_at, s->switch_to) != 2)
    s->switch_at = -1;
}

/* The reference: rendered one frame range at a time, the effects started on their frames.
   Returns NULL also when a section switch is not on a frame the loop comes round on. */
static int16_t* reference(orgsynth_song* song, size_t frames, script* s) {
  int16_t* out = malloc(frames * 4);
  size_t done = 0;
  int64_t start = (int64_t)orgsynth_position(song);
  if (!out) return NULL;
  while (done < frames) {
    size_t run = frames - done;
    int64_t at = start + (int64_t)done, loop = orgsynth_next_loop_frame(song);
    if (s->effects && loop == at) orgsynth_play_note(song, 0, 72, 220, 4);
    if (s->effects && at == 44100) orgsynth_play_note(song, 8, 60, 254, 8);
    if (s->switch_at == at) {
      if (loop != at) {
        printf("the switch to %s on frame %lld is not on a loop's return\n", s->switch_to,
               s->switch_at);
        return NULL;
      }
      apply_section(song, s->switch_to);
      next_switch(s);
    }
    if (s->effects && loop > at && (uint64_t)(loop - at) < run) run = (size_t)(loop - at);
    if (s->effects && at < 44100 && (size_t)(44100 - at) < run) run = (size_t)(44100 - at);
    if (s->switch_at > at && (uint64_t)(s->switch_at - at) < run) run = (size_t)(s->switch_at - at);
    if (orgsynth_render_s16(song, out + 2 * done, run) != run) break;
    done += run;
  }
  return out;
}

int main(int argc, char** argv) {
  FILE* in;
  size_t size, frames, captured, i, skip;
  int16_t *want, *got;
  orgsynth_song* song;
  script s;
  if (argc < 3 || (argc < 4 && strcmp(argv[2], "--loop-end") != 0)) {
    fprintf(stderr, "usage: example_capture_check SONG CAPTURE FRAMES [effects]\n");
    return 2;
  }
  in = fopen(argv[1], "rb");
  if (!in) return 2;
  size = fread(song_bytes, 1, sizeof song_bytes, in);
  fclose(in);
  song = orgsynth_open_memory(song_bytes, size, NULL, NULL);
  if (!song) return 2;
  if (strcmp(argv[2], "--loop-end") == 0) {
    orgsynth_info info;
    info.size = sizeof info;
    orgsynth_get_info(song, &info);
    printf("%llu\n", (unsigned long long)info.loop_end_frame);
    return 0;
  }
  frames = (size_t)strtoull(argv[3], NULL, 10);
  memset(&s, 0, sizeof s);
  s.effects = argc > 4 && strcmp(argv[4], "effects") == 0;
  if (argc > 6 && strcmp(argv[4], "sections") == 0) {
    s.sections = fopen(argv[5], "r");
    if (!s.sections) return 2;
    orgsynth_seek(song, strtoull(argv[6], NULL, 10));
    apply_section(song, "calm");
  }
  next_switch(&s);
  want = reference(song, frames, &s);
  if (!want) return 1;
  got = malloc(frames * 4);
  in = fopen(argv[2], "rb");
  if (!got || !in) {
    fprintf(stderr, "%s: cannot be read\n", argv[2]);
    return 2;
  }
  /* The silence before the song's own first sound is skipped over, up to one second. */
  captured = fread(got, 4, frames, in);
  skip = leading_silence(got, captured);
  skip -= skip < leading_silence(want, frames) ? skip : leading_silence(want, frames);
  if (skip > 44100) skip = 44100;
  fseek(in, (long)(skip * 4), SEEK_SET);
  captured = fread(got, 4, frames, in);
  fclose(in);
  if (skip > 0) printf("(the capture begins with %zu frames of silence before the song)\n", skip);
  if (captured < frames) {
    printf("the capture holds %zu frames, fewer than %zu\n", captured, frames);
    return 1;
  }
  for (i = 0; i < frames; ++i)
    if (memcmp(got + 2 * i, want + 2 * i, 4) != 0) {
      printf("frame %zu differs from liborgsynth's render (%d %d, not %d %d)\n", i, got[2 * i],
             got[2 * i + 1], want[2 * i], want[2 * i + 1]);
      return 1;
    }
  printf("%zu frames equal liborgsynth's render\n", frames);
  free(want);
  free(got);
  orgsynth_close(song);
  return 0;
}
