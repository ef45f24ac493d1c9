#!/usr/bin/env bash
# Renders every demo song with the x86-64 org2wav and with the arm64 one under qemu-user, and
# requires byte-identical WAV files: the mixer's result must not depend on the machine.
# Usage: tests/arm64/compare_renders.sh X86_BUILD_DIR ARM64_BUILD_DIR
set -u
here=$(cd "$(dirname "$0")/../.." && pwd)
x86=$1/tools/org2wav arm=$2/tools/org2wav
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
for song in "$here"/data/Org/*.org; do
  name=$(basename "$song" .org)
  "$x86" -q "$song" "$work/$name.x86.wav" || { echo "FAILED: x86-64 render of $name"; failures=$((failures + 1)); continue; }
  qemu-aarch64 -L /usr/aarch64-linux-gnu "$arm" -q "$song" "$work/$name.arm64.wav" ||
    { echo "FAILED: arm64 render of $name"; failures=$((failures + 1)); continue; }
  if cmp -s "$work/$name.x86.wav" "$work/$name.arm64.wav"; then
    echo "ok: $name: $(stat -c %s "$work/$name.x86.wav") bytes, identical ($(md5sum <"$work/$name.x86.wav" | cut -c1-12))"
  else
    echo "FAILED: $name differs between x86-64 and arm64"
    failures=$((failures + 1))
  fi
done
echo "$failures failed"
[ "$failures" = 0 ]
