#!/usr/bin/env bash
# The GStreamer plugin as GStreamer's own tools meet it, from the build folder (GST_PLUGIN_PATH)
# with a registry of its own: gst-inspect-1.0 finds the element and the type finder;
# gst-discoverer-1.0 reports the duration; decodebin picks the decoder by itself and gives
# exactly org2wav's samples; num-loops changes the length; a flushing, accurate seek lands
# sample-exactly (16-bit and float, two rates); a damaged song is an error on the bus, and a file
# that is not a song is not claimed — never a crash.
# Usage: gst_plugin_e2e.sh PLUGIN_DIR ORG2WAV SEEK_CHECK SOURCE_DIR DAMAGED_CHECK
# Exits 77 (skipped) when GStreamer's tools are missing.
set -u
plugin_dir=$1 org2wav=$2 seek_check=$3 source=$4 damaged_check=$5
for tool in gst-inspect-1.0 gst-launch-1.0 gst-discoverer-1.0; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export GST_PLUGIN_PATH=$plugin_dir GST_REGISTRY=$work/registry.bin
failures=0
check() {  # check DESCRIPTION CONDITION...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
song=$source/data/Org/Sakura.org
bank="--bank $source/data/Org/Wave100.dat"

gst-inspect-1.0 orgdec >"$work/inspect.txt" 2>&1
check "gst-inspect-1.0 finds the orgdec element" grep -q "Org song decoder" "$work/inspect.txt"
check "and knows the plugin's licence" \
  bash -c "grep -q 'License.*Proprietary' '$work/inspect.txt' && ! grep -q 'License.*unknown' '$work/inspect.txt'"
check "with the base class's num-loops and output-mode" \
  bash -c "grep -q num-loops '$work/inspect.txt' && grep -q output-mode '$work/inspect.txt'"
check "and the type finder for audio/x-org" \
  bash -c "gst-inspect-1.0 2>/dev/null | grep -q 'orgsynth: audio/x-org: org'"

"$org2wav" -q $bank "$song" "$work/two.wav"
"$org2wav" -q --loops 1 $bank "$song" "$work/one.wav"
frames=$((($(stat -c %s "$work/two.wav") - 44) / 4))
gst-discoverer-1.0 "$song" >"$work/discover.txt" 2>&1
expected=$(awk -v f="$frames" 'BEGIN { s = f / 44100; printf "%d:%02d:%02d.%09d", s / 3600, s % 3600 / 60, s % 60, (f * 1000000000 / 44100) % 1000000000 }')
check "gst-discoverer-1.0 reports the duration of two passes ($expected)" \
  grep -q "Duration: $expected" "$work/discover.txt"
check "the container format and the title from the file's name" bash -c \
  "gst-discoverer-1.0 -v '$song' 2>&1 | grep -q 'container format: Org-02 song' &&
   gst-discoverer-1.0 -v '$song' 2>&1 | grep -q 'title: Sakura'"

gst-launch-1.0 -q filesrc location="$song" ! decodebin ! audioconvert ! \
  audio/x-raw,format=S16LE,rate=44100,channels=2 ! filesink location="$work/decoded.raw" \
  >"$work/launch.txt" 2>&1
tail -c +45 "$work/two.wav" >"$work/two.raw"
check "decodebin plays it: exactly org2wav --loops 2's samples" cmp -s "$work/two.raw" "$work/decoded.raw"
gst-launch-1.0 -q filesrc location="$song" ! orgdec num-loops=0 ! audioconvert ! \
  audio/x-raw,format=S16LE,rate=44100,channels=2 ! filesink location="$work/once.raw" \
  >/dev/null 2>&1
tail -c +45 "$work/one.wav" >"$work/one.raw"
check "num-loops=0: one pass, exactly org2wav --loops 1" cmp -s "$work/one.raw" "$work/once.raw"

for case in "44100 S16LE 7" "48000 F32LE 61.5" "44100 S16LE 0.25" "22050 F32LE 130"; do
  set -- $case
  "$seek_check" "$song" "$1" "$2" "$3" >"$work/seek.txt" 2>&1
  status=$?
  check "a flushing, accurate seek to $3 s at $1 Hz ($2) lands exactly: $(cat "$work/seek.txt")" \
    [ $status = 0 ]
done

head -c 200 "$song" >"$work/damaged.org"
"$damaged_check" "$work/damaged.org" 200 >"$work/damaged.txt" 2>&1
status=$?
check "a damaged song, 200 times (orgdec, decodebin): the error says why and the pipeline stops: $(tail -1 "$work/damaged.txt")" \
  [ $status = 0 ]
cp "$source/README.md" "$work/not-a-song.org"
gst-launch-1.0 filesrc location="$work/not-a-song.org" ! decodebin ! fakesink \
  >"$work/not.txt" 2>&1
check "a file that is not a song is not claimed by orgdec" \
  bash -c "! grep -q -i 'orgdec' '$work/not.txt' && ! grep -q -e SIGSEGV -e Spinning '$work/not.txt'"

echo "$failures failed"
[ "$failures" = 0 ]
