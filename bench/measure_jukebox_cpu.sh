#!/usr/bin/env bash
# Measures the CPU the running jukebox uses while a song plays: under Xvfb (no GPU: SDL draws
# with whatever renderer it picks, Mesa's software GL here), dummy audio, song 0 started with
# Space, then user and system time from /proc over the measuring period.
# Usage: bench/measure_jukebox_cpu.sh JUKEBOX DATA_DIR [SECONDS] [JUKEBOX_OPTIONS...]
# KEYS="space v" presses more keys after starting the song (V: the visualiser).
set -euo pipefail
jukebox=$(realpath "$1") data=$(realpath "$2") seconds=${3:-10}
shift $(( $# >= 3 ? 3 : $# ))
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")" XDG_CONFIG_HOME=$work/config
export RTLIB_INSTANCE_SUFFIX="-bench-$$"
(cd "$data" && SDL_AUDIODRIVER=dummy exec "$jukebox" "$@" 2>/dev/null) &
pid=$!
pids+=($pid)
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --class RtLib 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
sleep 1
xdotool windowfocus "$window"
for key in ${KEYS:-space}; do
  xdotool keydown "$key"; sleep 0.12; xdotool keyup "$key"; sleep 0.2
done
sleep 2
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
start=$(ticks)
sleep "$seconds"
end=$(ticks)
hz=$(getconf CLK_TCK)
awk -v t=$((end - start)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "%.2f %% of one core over %d s\n", 100 * t / hz / s, s }'
