#!/usr/bin/env python3
"""A song in a pygame game: its intro once, then its loop seamlessly, forever.

The song renders straight into SDL's audio callback (pygame's AudioDevice), so the loop has no
seam: liborgsynth plays the intro and loops by itself. Keys steer it as a game would:

  D       brings the drums in (a fade of 0.4 s), or takes them out again
  Up/Down a faster or slower tempo (steps of 0.25, 0.5 to 2; the pitch stays)
  Space   a sound effect over the music (a note on the song's first instrument)
  Esc     quits

Key presses go to the audio thread through a queue and take effect at the start of the next
block; the song is only ever touched on that thread. With --record FILE, every block given to
the output is also written to FILE (raw 16-bit stereo) and each action, with the block it took
effect at, to FILE.actions; --blocks N quits after N blocks; --start SECONDS begins there (exactly:
a seek).

    ORGSYNTH_LIBRARY=build/org/api/liborgsynth.so.1 python3 python/examples/pygame_player.py \\
        data/Org/Sakura.org
"""

from __future__ import annotations

import argparse
import ctypes
import queue
import sys
from typing import BinaryIO, List, Optional, TextIO

import pygame
from pygame._sdl2 import audio as sdl_audio
from pygame._sdl2 import sdl2

import orgsynth

RATE = 44100
BLOCK = 1024  # frames per audio callback
FADE_MS = 400


def drum_track(song: orgsynth.Song) -> int:
    """The drum track with the most notes: the one brought in on D."""
    tracks = song.info.tracks
    return max(range(orgsynth.MELODY_TRACKS, orgsynth.TRACKS), key=lambda t: tracks[t].note_count)


class Player:
    """The song and what the keys did to it; used on the audio thread only."""

    def __init__(self, song: orgsynth.Song, record: Optional[BinaryIO],
                 actions: Optional[TextIO]) -> None:
        self.song = song
        self.drums = drum_track(song)
        self.drums_in = False
        self.tempo = 1.0
        self.pending: "queue.SimpleQueue[str]" = queue.SimpleQueue()
        self.blocks = 0
        self.position = 0  # for the screen, which never touches the song itself
        self.loop_start = song.info.loop_start_frame
        self.loop_frames = max(song.info.loop_frames, 1)
        self.record = record
        self.actions = actions
        song.set_track_gain(self.drums, 0.0)  # the drums wait for their cue

    def act(self, action: str) -> None:
        if action == "drums":
            self.drums_in = not self.drums_in
            self.song.set_track_gain(self.drums, 1.0 if self.drums_in else 0.0, FADE_MS)
        elif action in ("faster", "slower"):
            step = 0.25 if action == "faster" else -0.25
            self.tempo = min(2.0, max(0.5, self.tempo + step))
            self.song.set_tempo_factor(self.tempo)
        elif action == "effect":
            try:
                self.song.play_note(0, 60, volume=230, pan=6)
            except orgsynth.OrgsynthError:
                pass  # every voice is busy: this effect is left out
        if self.actions:
            self.actions.write(f"{self.blocks} {action}\n")
            self.actions.flush()

    def fill(self, _device: object, stream: memoryview) -> None:
        """SDL's audio callback: the next block of the song, after the actions that came."""
        while not self.pending.empty():
            self.act(self.pending.get())
        frames = self.song.render_into(stream)
        if frames * 4 < len(stream):  # the song ended (it does not, endless): silence after it
            stream[frames * 4:] = bytes(len(stream) - frames * 4)
        if self.record:
            self.record.write(bytes(stream))
        self.position = self.song.position
        self.blocks += 1


def close_device(device: sdl_audio.AudioDevice) -> None:
    """Closes the output with the interpreter's lock released: the callback needs that lock, and
    SDL waits for a callback under way to end, so closing while holding it could wait forever.
    (ctypes releases the lock around a call; the SDL library is the one pygame loaded.)"""
    sdl = ctypes.CDLL("libSDL2-2.0.so.0")
    sdl.SDL_CloseAudioDevice(ctypes.c_uint32(device.deviceid))  # no callback runs after this


KEYS = {pygame.K_d: "drums", pygame.K_UP: "faster", pygame.K_DOWN: "slower",
        pygame.K_SPACE: "effect"}


def main(argv: Optional[List[str]] = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("song")
    parser.add_argument("--record", help="also write every block given to the output here")
    parser.add_argument("--blocks", type=int, default=0, help="quit after this many blocks")
    parser.add_argument("--start", type=float, default=0.0, help="begin this many seconds in")
    args = parser.parse_args(argv)

    song = orgsynth.Song.open(args.song, rate=RATE)
    song.seek(round(args.start * RATE))
    record = open(args.record, "wb") if args.record else None
    actions = open(args.record + ".actions", "w") if args.record else None
    player = Player(song, record, actions)

    # The display and SDL's audio, without pygame's own mixer: the song has a device of its own.
    pygame.display.init()
    sdl2.init_subsystem(sdl2.INIT_AUDIO)
    screen = pygame.display.set_mode((320, 240))
    pygame.display.set_caption("orgsynth in pygame")
    names = sdl_audio.get_audio_device_names(False)
    if not names:
        print("no audio output device", file=sys.stderr)
        return 1
    device = sdl_audio.AudioDevice(devicename=names[0], iscapture=False, frequency=RATE,
                                   audioformat=sdl_audio.AUDIO_S16, numchannels=2,
                                   chunksize=BLOCK, allowed_changes=0, callback=player.fill)
    device.pause(0)
    clock = pygame.time.Clock()
    running = True
    while running:
        for event in pygame.event.get():
            if event.type == pygame.QUIT or (event.type == pygame.KEYDOWN and
                                             event.key == pygame.K_ESCAPE):
                running = False
            elif event.type == pygame.KEYDOWN and event.key in KEYS:
                player.pending.put(KEYS[event.key])
        if args.blocks and player.blocks >= args.blocks:
            running = False
        # The screen: where the song is within the loop (the intro fills the bar slowly).
        screen.fill((16, 16, 40))
        into = player.position - player.loop_start
        width = 300 * (into % player.loop_frames) // player.loop_frames if into >= 0 else 0
        pygame.draw.rect(screen, (120, 200, 255), (10, 110, width, 20))
        pygame.draw.rect(screen, (255, 200, 80) if player.drums_in else (60, 60, 60),
                         (10, 150, 40, 40))
        pygame.display.flip()
        clock.tick(60)
    close_device(device)
    if record:
        record.close()
    if actions:
        actions.close()
    pygame.quit()
    return 0


if __name__ == "__main__":
    sys.exit(main())
