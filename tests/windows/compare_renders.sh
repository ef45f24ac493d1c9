#!/usr/bin/env bash
# Renders the golden set (every demo song under each of the golden settings of
# tests/tools/golden_renders.txt) with the Linux org2wav and with org2wav.exe under Wine, and
# requires byte-identical WAV files of the golden length: the engine's result must not depend
# on the system or its C library.
# Usage: tests/windows/compare_renders.sh NATIVE_BUILD_DIR WINDOWS_BUILD_DIR (Wine set up)
set -u
here=$(cd "$(dirname "$0")/../.." && pwd)
linux=$1/tools/org2wav windows=$2/tools/org2wav.exe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The org2wav options of each golden setting (as tests/tools/offline_render_test.cpp renders them).
options_of() {
  case $1 in
    default) echo "" ;;
    rate48000) echo "--rate 48000" ;;
    fade) echo "--loops 1 --fade 3" ;;
    mute) echo "--mute 0,9" ;;
    nearest) echo "--interp nearest --rate 22050" ;;
    seconds) echo "--seconds 20 --fade 1.5" ;;
    loops3) echo "--loops 3 --rate 32000" ;;
  esac
}

# One golden render on both systems: "ok ..." or "FAILED ...".
render_both() {
  local song=$1 settings=$2 frames=$3 name=$1-$2 options
  options=$(options_of "$settings")
  # shellcheck disable=SC2086
  "$linux" -q $options --bank "$here/data/Org/Wave100.dat" "$here/data/Org/$song.org" \
    "$work/$name.linux.wav" || { echo "FAILED: Linux render of $name"; return; }
  # shellcheck disable=SC2086
  wine "$windows" -q $options --bank "$here/data/Org/Wave100.dat" "$here/data/Org/$song.org" \
    "$work/$name.windows.wav" </dev/null || { echo "FAILED: Windows render of $name"; return; }
  local size
  size=$(stat -c %s "$work/$name.windows.wav")
  if ! cmp -s "$work/$name.linux.wav" "$work/$name.windows.wav"; then
    echo "FAILED: $name differs between Linux and Windows"
  elif [ $(((size - 44) / 4)) != "$frames" ]; then
    echo "FAILED: $name has $(((size - 44) / 4)) frames, the golden render $frames"
  else
    echo "ok: $name: $size bytes, identical ($(md5sum <"$work/$name.windows.wav" | cut -c1-12))"
  fi
  rm -f "$work/$name.linux.wav" "$work/$name.windows.wav"
}
export -f render_both options_of
export here linux windows work

grep -v '^#' "$here/tests/tools/golden_renders.txt" | awk '{print $1, $2, $3}' |
  xargs -P "$(nproc)" -L 1 bash -c 'render_both "$0" "$1" "$2"' | tee "$work/results.txt"
songs=$(ls "$here"/data/Org/*.org | wc -l)
checked=$(grep -c '^ok: .*-default:' "$work/results.txt")
failures=$(grep -c '^FAILED' "$work/results.txt")
echo "$(grep -c '^ok' "$work/results.txt") renders identical; $failures failed"
[ "$checked" = "$songs" ] || { echo "FAILED: $checked of the $songs demo songs checked"; exit 1; }
[ "$failures" = 0 ]
