/* Compares what an example program gave its audio output (16-bit stereo at 44100 Hz, captured by
 * SDL's disk driver or written by the program) with liborgsynth's own render of the same song,
 * from the start: every frame of the first FRAMES must be equal. The capture may begin with
 * silence the output played before the program started it (SDL's device runs paused first):
 * the song is looked for after that.
 * Usage: example_capture_check SONG CAPTURE FRAMES [effects]
 *   effects: the sound effects sdl_mixer_player plays, at their frames: a drum hit (track 8,
 *   key 60, volume 254, pan 8) on frame 44100, and a note (track 0, key 72, volume 220, pan 4)
 *   on the first frame of each new pass of the loop.
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

/* The reference: rendered one frame range at a time, the effects started on their frames. */
static int16_t* reference(orgsynth_song* song, size_t frames, int effects) {
  int16_t* out = malloc(frames * 4);
  size_t done = 0;
  if (!out) return NULL;
  while (done < frames) {
    size_t run = frames - done;
    int64_t loop = orgsynth_next_loop_frame(song);
    if (effects && loop == (int64_t)done) orgsynth_play_note(song, 0, 72, 220, 4);
    if (effects && done == 44100) orgsynth_play_note(song, 8, 60, 254, 8);
    if (effects && loop > (int64_t)done && (size_t)loop - done < run) run = (size_t)loop - done;
    if (effects && done < 44100 && 44100 - done < run) run = 44100 - done;
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
  if (argc < 4) {
    fprintf(stderr, "usage: example_capture_check SONG CAPTURE FRAMES [effects]\n");
    return 2;
  }
  frames = (size_t)strtoull(argv[3], NULL, 10);
  in = fopen(argv[1], "rb");
  if (!in) return 2;
  size = fread(song_bytes, 1, sizeof song_bytes, in);
  fclose(in);
  song = orgsynth_open_memory(song_bytes, size, NULL, NULL);
  if (!song) return 2;
  want = reference(song, frames, argc > 4 && strcmp(argv[4], "effects") == 0);
  got = malloc(frames * 4);
  in = fopen(argv[2], "rb");
  if (!want || !got || !in) {
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
