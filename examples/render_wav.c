/* Renders an Org song to a 16-bit stereo WAV file with liborgsynth.
 * Build: cc -std=c99 render_wav.c $(pkg-config --cflags --libs orgsynth) -o render_wav
 * Usage: render_wav SONG.org OUT.wav [PASSES]   (the intro and PASSES passes of the loop, 2 by
 *        default, at 44100 Hz with our waveform bank and drums) */
#include <orgsynth.h>
#include <stdio.h>
#include <stdlib.h>

static void put_u32(unsigned char* at, uint32_t v) {
  at[0] = (unsigned char)v;
  at[1] = (unsigned char)(v >> 8);
  at[2] = (unsigned char)(v >> 16);
  at[3] = (unsigned char)(v >> 24);
}

static int write_header(FILE* out, uint32_t rate, uint32_t frames) {
  unsigned char h[44] = "RIFF....WAVEfmt \x10\0\0\0\x01\0\x02\0........\x04\0\x10\0data....";
  put_u32(h + 4, 36 + frames * 4);
  put_u32(h + 24, rate);
  put_u32(h + 28, rate * 4);
  put_u32(h + 40, frames * 4);
  return fwrite(h, 1, sizeof h, out) == sizeof h;
}

int main(int argc, char** argv) {
  static unsigned char song_bytes[1 << 20];
  int16_t block[2 * 4096];
  orgsynth_error error;
  orgsynth_song* song;
  FILE *in, *out;
  size_t size, frames, total = 0;
  if (argc < 3) {
    fprintf(stderr, "usage: %s SONG.org OUT.wav [PASSES]\n", argv[0]);
    return 2;
  }
  if (!(in = fopen(argv[1], "rb"))) {
    perror(argv[1]);
    return 1;
  }
  size = fread(song_bytes, 1, sizeof song_bytes, in);
  fclose(in);
  song = orgsynth_open_memory(song_bytes, size, NULL, &error);
  if (!song) {
    fprintf(stderr, "%s: %s\n", argv[1], error.message);
    return 1;
  }
  orgsynth_set_repeat_count(song, (argc > 3 ? atoi(argv[3]) : 2) - 1);
  if (!(out = fopen(argv[2], "wb"))) {
    perror(argv[2]);
    orgsynth_close(song);
    return 1;
  }
  write_header(out, orgsynth_default_sample_rate(), (uint32_t)orgsynth_length(song));
  /* WAV samples are little-endian, as this machine's are assumed to be. */
  while ((frames = orgsynth_render_s16(song, block, 4096)) > 0)
    total += fwrite(block, 4, frames, out);
  if (fclose(out) != 0 || total != (size_t)orgsynth_length(song)) {
    fprintf(stderr, "%s: could not be written whole\n", argv[2]);
    orgsynth_close(song);
    return 1;
  }
  orgsynth_close(song);
  printf("%s: %lu frames (liborgsynth %s)\n", argv[2], (unsigned long)total, orgsynth_version());
  return 0;
}
