#!/usr/bin/env bash
# The pygame example as a player meets it: in a window of an X server of our own, with SDL's
# dummy audio output pulling blocks in real time, keys pressed as a person presses them (D brings
# the drums in, Up speeds the tempo up, Space plays a sound effect). It records what it gave the
# output and when each key took effect; that must be, block for block, what liborgsynth renders
# with the same controls at the same blocks. It begins two seconds before the loop's end, so the
# recording runs over the return to the loop start: without a seam.
# Usage: pygame_example_e2e.sh SOURCE_DIR PYTHON  (ORGSYNTH_LIBRARY set to the library)
set -u
source=$(realpath "$1") python=$2
source "$source/tests/app/e2e/e2e_common.sh"
"$python" -c 'import pygame' 2>/dev/null || { echo "skipped: pygame is not installed"; exit 77; }

export PYTHONPATH=$source/python SDL_AUDIODRIVER=dummy
blocks=260  # 1024 frames each: six seconds
song=$source/data/Org/Sakura.org
start=$("$python" -c "import orgsynth, sys; s = orgsynth.Song.open(sys.argv[1]); print(s.info.loop_end_frame / 44100 - 2)" "$song")
"$python" "$source/python/examples/pygame_player.py" "$song" --start "$start" \
  --record "$work/out.raw" --blocks $blocks >"$work/example.log" 2>&1 &
example_pid=$!
pids+=("$example_pid")
window=$(timeout 20 xdotool search --sync --onlyvisible --class pygame_player 2>/dev/null | head -1)
check "the example opens its window" [ -n "$window" ]
xdotool windowfocus "$window" 2>/dev/null
sleep 1; press d
sleep 1; press Up
sleep 0.5; press space
for _ in $(seq 600); do kill -0 "$example_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$example_pid" 2>/dev/null && { echo "(still running after a minute: stopped)"; kill "$example_pid"; }
wait "$example_pid"
check "the example ends by itself after its blocks (exit $?)" [ $? = 0 ] || cat "$work/example.log"
check "each key took effect once, in the order pressed" \
  bash -c "[ \"\$(cut -d' ' -f2 '$work/out.raw.actions' | tr '\n' ' ')\" = 'drums faster effect ' ]"

"$python" - "$song" "$work/out.raw" "$start" <<'PY'
import sys
import orgsynth

song_path, recorded, start = sys.argv[1], sys.argv[2], float(sys.argv[3])
data = open(recorded, "rb").read()
actions = [line.split() for line in open(recorded + ".actions")]
song = orgsynth.Song.open(song_path, rate=44100)
song.seek(round(start * 44100))
tracks = song.info.tracks
drums = max(range(8, 16), key=lambda t: tracks[t].note_count)
song.set_track_gain(drums, 0.0)
block = 4 * 1024
blocks = len(data) // block
tempo = 1.0
for i in range(blocks):
    for at, action in actions:
        if int(at) != i:
            continue
        if action == "drums":
            song.set_track_gain(drums, 1.0, 400)
        elif action == "faster":
            tempo += 0.25
            song.set_tempo_factor(tempo)
        elif action == "effect":
            song.play_note(0, 60, 230, 6)
    want = song.render(1024)
    if data[i * block:(i + 1) * block] != want:
        print(f"FAILED: block {i} differs from liborgsynth's render")
        sys.exit(1)
print(f"ok: {blocks} blocks equal liborgsynth's render with the same controls at the same blocks")
if song.loop_pass != 1:
    print(f"FAILED: the recording did not run over the loop's return (pass {song.loop_pass})")
    sys.exit(1)
print("ok: the recording runs over the return to the loop start, frame for frame")
PY
check "what the example played is liborgsynth's render, over the loop's return" [ $? = 0 ]

echo "$failures failed"
[ "$failures" = 0 ]
