/* Plays an Org song through SDL2's audio callback: the intro once, then the loop seamlessly,
 * forever (liborgsynth loops by itself, to the sample). The callback only renders: no
 * allocation, no lock, no I/O, as liborgsynth's rendering needs none.
 * Build: cc -std=c99 sdl_player.c $(pkg-config --cflags --libs orgsynth sdl2) -o sdl_player
 * Usage: sdl_player SONG.org [SECONDS]   (SECONDS: stop after that much has been played;
 *        without it, play until interrupted) */
#include <SDL.h>
#include <orgsynth.h>
#include <stdio.h>
#include <stdlib.h>

enum { RATE = 44100 };

typedef struct player {
  orgsynth_song* song;
  SDL_atomic_t frames_given; /* read by the main thread to know when to stop */
} player;

/* SDL's audio thread: the next block of the song. */
static void fill(void* user, Uint8* stream, int bytes) {
  player* p = user;
  size_t frames = (size_t)bytes / 4;
  size_t done = orgsynth_render_s16(p->song, (int16_t*)stream, frames);
  if (done < frames) SDL_memset(stream + done * 4, 0, (frames - done) * 4); /* after an end */
  SDL_AtomicAdd(&p->frames_given, (int)done);
}

static orgsynth_song* open_song(const char* path) {
  static unsigned char bytes[1 << 20];
  orgsynth_error error;
  orgsynth_song* song;
  size_t size;
  FILE* in = fopen(path, "rb");
  if (!in) {
    fprintf(stderr, "%s: cannot be read\n", path);
    return NULL;
  }
  size = fread(bytes, 1, sizeof bytes, in);
  fclose(in);
  song = orgsynth_open_memory(bytes, size, NULL, &error);
  if (!song) fprintf(stderr, "%s: %s\n", path, error.message);
  return song;
}

int main(int argc, char** argv) {
  player p;
  SDL_AudioSpec want, have;
  SDL_AudioDeviceID device;
  double seconds = argc > 2 ? atof(argv[2]) : 0;
  if (argc < 2) {
    fprintf(stderr, "usage: sdl_player SONG.org [SECONDS]\n");
    return 2;
  }
  p.song = open_song(argv[1]);
  if (!p.song) return 1;
  SDL_AtomicSet(&p.frames_given, 0);
  if (SDL_Init(SDL_INIT_AUDIO) != 0) {
    fprintf(stderr, "SDL: %s\n", SDL_GetError());
    return 1;
  }
  SDL_zero(want);
  want.freq = RATE;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = fill;
  want.userdata = &p;
  /* No changes allowed: SDL converts if the device wants another format. */
  device = SDL_OpenAudioDevice(NULL, 0, &want, &have, 0);
  if (!device) {
    fprintf(stderr, "SDL: %s\n", SDL_GetError());
    return 1;
  }
  SDL_PauseAudioDevice(device, 0);
  while (seconds <= 0 || SDL_AtomicGet(&p.frames_given) < (int)(seconds * RATE)) SDL_Delay(10);
  SDL_CloseAudioDevice(device); /* no callback runs after this */
  orgsynth_close(p.song);
  SDL_Quit();
  return 0;
}
