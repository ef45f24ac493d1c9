#!/usr/bin/env python3
"""Builds the fuzz targets' seed corpora in tests/fuzz/corpus/ from the demo data and from the
public picture suites in ../shared/testdata (PngSuite, BMP Suite). Run from the project root.
The corpora are committed; this script only says where each seed came from."""
import glob
import os
import shutil
import struct

ROOT = os.getcwd()
SUITES = os.path.join(ROOT, "..", "shared", "testdata")
OUT = os.path.join(ROOT, "tests", "fuzz", "corpus")


def folder(name):
    path = os.path.join(OUT, name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def small(paths, limit):
    return [p for p in sorted(paths) if os.path.getsize(p) <= limit]


def drum(bits, channels, rate, samples, declared=None):
    block = channels * bits // 8
    length = len(samples) if declared is None else declared
    fmt = struct.pack("<HHIIHHH", 1, channels, rate, rate * block, block, bits, 0)
    return (b"RIFF" + struct.pack("<I", 50 + length) + b"WAVEfmt " + struct.pack("<I", 18) + fmt +
            b"fact" + struct.pack("<II", 4, length) + b"data" + struct.pack("<I", length) + samples)


def bgra(width, height, sixteen):
    code = 0x10101010 if sixteen else 0x08080808
    size = 8 if sixteen else 4
    pixels = bytes((i * 37) & 0xFF for i in range(width * height * size))
    return b"BGRA" + struct.pack("<III", code, width, height) + pixels


def org(wait, loop_start, loop_end, tracks):
    """An Org-02 song: `tracks` maps a track number to its events (step, key, length, volume,
    pan)."""
    out = b"Org-02" + struct.pack("<HBBii", wait, 4, 4, loop_start, loop_end)
    for t in range(16):
        out += struct.pack("<HBBH", 1000, t % 8, 0, len(tracks.get(t, [])))
    for t in range(16):
        events = tracks.get(t, [])
        out += b"".join(struct.pack("<i", e[0]) for e in events)
        for field in range(1, 5):
            out += bytes(e[field] for e in events)
    return out


INT32_MAX = 2**31 - 1
INT32_MIN = -2**31


def overflow_songs():
    """Songs whose steps, frames and repeats reach the ends of 32 and 64 bits: a loop start at
    the largest step, a loop over every step, a week-long loop, loops of no steps or backwards,
    1 ms steps looping one step, events at the extreme steps."""
    note = [(0, 40, 3, 200, 6)]
    return {
        "loop_start_at_int32_max.org": org(10, INT32_MAX, 2, {0: note}),
        "loop_over_every_step.org": org(1, INT32_MIN, INT32_MAX, {0: note, 8: note}),
        "week_long_loop.org": org(65535, 40000, 40000 + 9229, {0: note}),
        "loop_end_at_int32_max.org": org(1, 0, INT32_MAX, {0: note + [(INT32_MAX - 1, 50, 9, 254, 2)]}),
        "loop_of_no_steps.org": org(100, 4, 4, {0: [(4, 40, 1, 200, 6)], 8: [(4, 40, 0, 254, 6)]}),
        "loop_backwards.org": org(100, 6, 2, {0: [(6, 45, 2, 200, 3)]}),
        "one_step_loop_of_1ms.org": org(1, 0, 1, {t: [(0, 30 + t, 1, 200, t % 13)] for t in range(16)}),
        "extreme_event_steps.org": org(2, -5, 3, {1: [(INT32_MIN, 40, 1, 200, 6), (INT32_MAX, 41, 255, 254, 12)]}),
    }


def main():
    songs = folder("org_song")
    for path in sorted(glob.glob(os.path.join(ROOT, "data", "Org", "*.org"))):
        shutil.copy(path, songs)
    write_overflow_seeds()

    # The writer: our own files, and one as another program might write it (a first-version file
    # with a one-shot byte set, events out of step order, bytes after the last event).
    writer = folder("org_writer")
    for path in sorted(glob.glob(os.path.join(ROOT, "data", "Org", "*.org"))):
        shutil.copy(path, writer)
    header = b"Org-01" + struct.pack("<HBBii", 100, 4, 4, 0, 64)
    tracks = [(1000, 0, 1, 3)] + [(1000, 0, 0, 0)] * 15
    header += b"".join(struct.pack("<HBBH", *t) for t in tracks)
    events = struct.pack("<iii", 0, 8, 4) + bytes([45, 48, 50, 4, 4, 2, 200, 255, 255, 6, 255, 255])
    write(os.path.join(writer, "foreign.org"), header + events + b"extra")

    # MIDI import: org2mid's file of each demo song (when a native build is at build/), behind a
    # first byte choosing the grid (3: four steps a beat). hand_made.mid (a chord, voices past the
    # tracks, a tempo change, drums) is kept as it is.
    org2mid = os.path.join(ROOT, "build", "tools", "org2mid")
    midi = os.path.join(OUT, "midi_import")
    os.makedirs(midi, exist_ok=True)
    if os.path.exists(org2mid):
        import subprocess
        import tempfile
        for path in sorted(glob.glob(os.path.join(ROOT, "data", "Org", "*.org"))):
            with tempfile.TemporaryDirectory() as scratch:
                out = os.path.join(scratch, "song.mid")
                subprocess.run([org2mid, path, out], check=True)
                name = os.path.splitext(os.path.basename(path))[0] + ".mid"
                write(os.path.join(midi, name), b"\x03" + read(out))

    drums = folder("drum_wave")
    for path in small(glob.glob(os.path.join(ROOT, "data", "Org", "Org", "*.wav")), 9000):
        shutil.copy(path, drums)
    ramp = bytes(range(0, 256, 4))
    write(os.path.join(drums, "mono16.wav"), drum(16, 1, 22050, ramp))
    write(os.path.join(drums, "stereo8.wav"), drum(8, 2, 11025, ramp))
    write(os.path.join(drums, "declared_long.wav"), drum(8, 1, 22050, ramp, declared=100000))

    bank = folder("wave_bank")
    whole = read(os.path.join(ROOT, "data", "Org", "Wave100.dat"))
    write(os.path.join(bank, "Wave100.dat"), whole)
    write(os.path.join(bank, "short.dat"), whole[:700])

    playlist = folder("playlist")
    shutil.copy(os.path.join(ROOT, "data", "Org", "music.txt"), playlist)
    write(os.path.join(playlist, "long_items.txt"),
          b"0\t60\t" + b"Org\\" + b"a" * 60 + b".org\t" + "曲".encode("cp932") * 140 + b"\r\n")
    write(os.path.join(playlist, "partial.txt"), b"0\t30\tOrg\\x.org\r\n1\t")

    keycast = folder("keycast")
    write(os.path.join(keycast, "masks.ini"), struct.pack("<16i", *range(1, 17)))
    write(os.path.join(keycast, "short.ini"), b"\x01\x02\x03")

    settings = folder("settings")
    write(os.path.join(settings, "written"), b"scale=2\nfullscreen=1\nvolume_step=3\n")
    write(os.path.join(settings, "edges"),
          b"# comment\n scale = 16 \r\nvolume_step=16\nfullscreen=0\n")
    write(os.path.join(settings, "damaged"), b"scale=0\nscale=99999999999\nfullscreen=2\n=\n")

    bmp = folder("bmp")
    for sub in ("g", "q", "b"):
        for path in small(glob.glob(os.path.join(SUITES, "bmpsuite", sub, "*.bmp")), 20000):
            shutil.copy(path, os.path.join(bmp, sub + "_" + os.path.basename(path)))
    shutil.copy(os.path.join(ROOT, "data", "system", "letter.bmp"), bmp)

    png = folder("png")
    for path in sorted(glob.glob(os.path.join(SUITES, "pngsuite", "*.png"))):
        shutil.copy(path, png)
    for name in ("font_01.png", "jukebg.png"):
        shutil.copy(os.path.join(ROOT, "data", "system", name), png)

    raw = folder("bgra")
    write(os.path.join(raw, "rgba8_3x2.bgra"), bgra(3, 2, False))
    write(os.path.join(raw, "rgba16_2x3.bgra"), bgra(2, 3, True))
    write(os.path.join(raw, "short.bgra"), bgra(4, 4, False)[:40])

    files = folder("picture_file")
    pairs = {
        "bmp_with_alpha": ("bmpsuite/g/pal8.bmp", "bmpsuite/g/pal8gs.bmp"),
        "png_with_alpha": ("pngsuite/basn2c08.png", "pngsuite/basn0g08.png"),
        "png_alone": ("pngsuite/basn6a08.png", None),
        "rle_with_rgb_alpha": ("bmpsuite/g/pal8rle.bmp", "bmpsuite/g/rgb24.bmp"),
    }
    for index, (name, (main_path, alpha_path)) in enumerate(sorted(pairs.items())):
        main_bytes = read(os.path.join(SUITES, main_path))
        alpha = read(os.path.join(SUITES, alpha_path)) if alpha_path else b""
        write(os.path.join(files, name), bytes([index & 1]) + struct.pack("<I", len(main_bytes)) +
              main_bytes + alpha)
    write(os.path.join(files, "bgra_with_alpha"),
          b"\x00" + struct.pack("<I", len(bgra(16, 16, False))) + bgra(16, 16, False) +
          bgra(16, 16, True))


def write_overflow_seeds():
    """The overflow songs into the song corpus, and into the C API's (after its eight control
    bytes: 44100 Hz, two repeats, a fade, a seek to the end of the render, odd blocks)."""
    for name, song in overflow_songs().items():
        write(os.path.join(OUT, "org_song", name), song)
        write(os.path.join(OUT, "orgsynth", name), bytes([0, 3, 20, 0, 0, 255, 7, 0]) + song)


if __name__ == "__main__":
    main()
