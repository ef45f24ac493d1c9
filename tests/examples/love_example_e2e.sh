#!/usr/bin/env bash
# The LÖVE example as a player meets it: LÖVE 11 in a window of an X server of our own, OpenAL's
# output on its null device (it still takes the queued buffers in real time), the game begun
# three seconds before the song's loop comes round. S is pressed as a person presses it: the
# game asks for its other section, which must begin on the very frame the loop comes round.
# Everything it queued (it records it) must be liborgsynth's render with the same sections on
# the same frames, frame for frame.
# Usage: love_example_e2e.sh SOURCE_DIR CAPTURE_CHECK  (ORGSYNTH_LIBRARY set to the library)
set -u
source=$(realpath "$1") capture_check=$2
source "$source/tests/app/e2e/e2e_common.sh"
command -v love >/dev/null || { echo "skipped: love is not installed"; exit 77; }

export ALSOFT_DRIVERS=null SDL_AUDIODRIVER=dummy
song=$source/data/Org/Sakura.org
start=$(( $("$capture_check" "$song" --loop-end) - 3 * 44100 ))
blocks=260  # 1024 frames each: six seconds
love "$source/examples/love" "$song" --start "$start" --record "$work/out.raw" --blocks $blocks \
  >"$work/love.log" 2>&1 &
love_pid=$!
pids+=("$love_pid")
window=$(timeout 20 xdotool search --sync --onlyvisible --class love 2>/dev/null | head -1)
check "the game opens its window" [ -n "$window" ] || cat "$work/love.log"
xdotool windowfocus "$window" 2>/dev/null
sleep 1; press s
for _ in $(seq 600); do kill -0 "$love_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$love_pid" 2>/dev/null && { echo "(still running after a minute: stopped)"; kill "$love_pid"; }
wait "$love_pid"
check "the game ends by itself after its blocks (exit $?)" [ $? = 0 ] || cat "$work/love.log"
check "it switched to its other section once" \
  bash -c "[ \"\$(cut -d' ' -f2 '$work/out.raw.sections')\" = battle ]"
"$capture_check" "$song" "$work/out.raw" $((blocks * 1024)) sections "$work/out.raw.sections" \
  "$start" >"$work/check.log"
check "what it queued is liborgsynth's render, the switch on the loop's return ($(tail -1 "$work/check.log"))" \
  [ $? = 0 ]

echo "$failures failed"
[ "$failures" = 0 ]
