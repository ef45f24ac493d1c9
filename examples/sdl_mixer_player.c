/* Plays an Org song through SDL2_mixer's Mix_HookMusic, with sound effects over it as a game
 * plays them: a note on the song's first instrument each time the loop comes round (a jingle
 * on the loop boundary, to the frame) and a drum hit one second in. Everything happens inside
 * the hook, so the effects land on exact frames of the song. The intro plays once, the loop
 * seamlessly.
 * Build: cc -std=c99 sdl_mixer_player.c $(pkg-config --cflags --libs orgsynth SDL2_mixer)
 * Usage: sdl_mixer_player SONG.org [SECONDS]   (stop after SECONDS played; else play on) */
#include <SDL.h>
#include <SDL_mixer.h>
#include <orgsynth.h>
#include <stdio.h>
#include <stdlib.h>

enum { RATE = 44100 };

typedef struct player {
  orgsynth_song* song;
  int64_t hit_frame; /* the drum hit, one second in (-1 once played) */
  SDL_atomic_t frames_given;
} player;

/* Renders `frames` frames, stopping where an effect is due to start it on its very frame. */
static void render_with_effects(player* p, int16_t* out, size_t frames) {
  while (frames > 0) {
    int64_t at = (int64_t)orgsynth_position(p->song);
    int64_t loop = orgsynth_next_loop_frame(p->song);
    size_t run = frames, done;
    if (loop == at) orgsynth_play_note(p->song, 0, 72, 220, 4); /* the loop comes round */
    if (p->hit_frame == at) {
      orgsynth_play_note(p->song, 8, 60, 254, 8);
      p->hit_frame = -1;
    }
    if (loop > at && (uint64_t)(loop - at) < run) run = (size_t)(loop - at);
    if (p->hit_frame > at && (uint64_t)(p->hit_frame - at) < run) run = (size_t)(p->hit_frame - at);
    done = orgsynth_render_s16(p->song, out, run);
    if (done < run) { /* the end of the song: silence after it */
      SDL_memset(out + 2 * done, 0, (frames - done) * 4);
      break;
    }
    out += 2 * run;
    frames -= run;
  }
}

/* SDL_mixer's music hook, on the audio thread. */
static void hook(void* user, Uint8* stream, int bytes) {
  player* p = user;
  render_with_effects(p, (int16_t*)stream, (size_t)bytes / 4);
  SDL_AtomicAdd(&p->frames_given, bytes / 4);
}

int main(int argc, char** argv) {
  static unsigned char bytes[1 << 20];
  player p;
  orgsynth_error error;
  size_t size;
  FILE* in;
  double seconds = argc > 2 ? atof(argv[2]) : 0;
  if (argc < 2) {
    fprintf(stderr, "usage: sdl_mixer_player SONG.org [SECONDS]\n");
    return 2;
  }
  in = fopen(argv[1], "rb");
  if (!in) {
    fprintf(stderr, "%s: cannot be read\n", argv[1]);
    return 1;
  }
  size = fread(bytes, 1, sizeof bytes, in);
  fclose(in);
  p.song = orgsynth_open_memory(bytes, size, NULL, &error);
  if (!p.song) {
    fprintf(stderr, "%s: %s\n", argv[1], error.message);
    return 1;
  }
  p.hit_frame = RATE;
  SDL_AtomicSet(&p.frames_given, 0);
  if (SDL_Init(SDL_INIT_AUDIO) != 0 || Mix_OpenAudio(RATE, AUDIO_S16SYS, 2, 1024) != 0) {
    fprintf(stderr, "SDL_mixer: %s\n", Mix_GetError());
    return 1;
  }
  Mix_HookMusic(hook, &p);
  while (seconds <= 0 || SDL_AtomicGet(&p.frames_given) < (int)(seconds * RATE)) SDL_Delay(10);
  Mix_HookMusic(NULL, NULL);
  Mix_CloseAudio();
  orgsynth_close(p.song);
  SDL_Quit();
  return 0;
}
