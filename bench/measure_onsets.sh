#!/usr/bin/env bash
# Measures the real-time onset spacing of orgplay: plays a click every 50 ms step for 10 s
# through SDL's "disk" audio driver and analyses the captured stream.
# Usage: bench/measure_onsets.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Org"
cp "$here"/data/Org/Org/*.wav "$here/data/Org/Wave100.dat" "$work/Org/"
"$build/tools/songc" "$here/bench/metronome_50ms.score" "$work/Metronome.org"
(cd "$work" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/capture.raw" \
  "$build/tools/orgplay" Metronome.org --seconds 10 >/dev/null 2>&1)
"$build/bench/onset_jitter" --capture "$work/capture.raw" 50
