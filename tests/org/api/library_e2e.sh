#!/usr/bin/env bash
# liborgsynth as a developer meets it: installed with `cmake --install` (its two components) into
# a scratch prefix; the shared library exports only orgsynth_* under its soname; the C example
# builds against it through pkg-config as strict C99 with every warning an error, linked shared
# and static, and renders exactly what `org2wav --loops 2` renders; the man page reads cleanly;
# and the ABI matches the committed baseline (libabigail), an incompatible change failing.
# Usage: library_e2e.sh BUILD_DIR SOURCE_DIR ORG2WAV [SANITIZERS]
# (SANITIZERS: the build's -fsanitize list, which the example is built with too.)
set -u
build=$(realpath "$1") source=$(realpath "$2") org2wav=$3 sanitize=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check DESCRIPTION CONDITION...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

prefix=$work/prefix
for component in liborgsynth liborgsynth_dev; do
  cmake --install "$build" --prefix "$prefix" --component "$component" >>"$work/install.log" 2>&1
  check "cmake --install --component $component succeeds" [ $? = 0 ]
done
libdir=$(dirname "$(find "$prefix" -name 'liborgsynth.so.1' | head -1)")
if [ -f "$build/gst/libgstorgsynth.so" ]; then
  cmake --install "$build" --prefix "$prefix" --component gst_plugin >>"$work/install.log" 2>&1
  check "the library and the players' plugins share one library folder ($libdir)" \
    test -f "$libdir/gstreamer-1.0/libgstorgsynth.so"
fi
export PKG_CONFIG_PATH=$libdir/pkgconfig
# The man page's synopsis names every function the header declares.
missing=$(grep -o '^ORGSYNTH_API [^(]*(' "$prefix/include/orgsynth.h" | sed -E 's/.*[ *](orgsynth_[a-z0-9_]*)\($/\1/' |
  while read -r name; do grep -q "$name(" "$prefix/share/man/man3/orgsynth.3" || echo "$name"; done)
check "orgsynth(3)'s synopsis names every function of the header${missing:+ (missing: $missing)}" \
  [ -z "$missing" ]
check "the header, the pkg-config file and the man page are installed" \
  test -f "$prefix/include/orgsynth.h" -a -f "$libdir/pkgconfig/orgsynth.pc" \
  -a -f "$prefix/share/man/man3/orgsynth.3"
check "pkg-config knows orgsynth 1.1.0" [ "$(pkg-config --modversion orgsynth)" = 1.1.0 ]

library=$libdir/liborgsynth.so.1
check "the soname is liborgsynth.so.1" \
  bash -c "readelf -d '$library' | grep -q 'Library soname: \[liborgsynth.so.1\]'"
nm -D --defined-only "$library" | awk '{print $3}' | grep -v '^ORGSYNTH_1\(\.[0-9]*\)\?$' \
  >"$work/exports.txt"
check "it exports orgsynth_* and nothing else ($(wc -l <"$work/exports.txt") symbols)" \
  bash -c "! grep -v '^orgsynth_[a-z0-9_]*@@ORGSYNTH_1\(\.[0-9]*\)\?\$' '$work/exports.txt'"
# 1.0's functions keep their version; the additions of 1.1 carry the version of their own.
check "1.0's functions stay ORGSYNTH_1, 1.1's interactive ones are ORGSYNTH_1.1" bash -c \
  "grep -qx 'orgsynth_render_s16@@ORGSYNTH_1' '$work/exports.txt' &&
   grep -qx 'orgsynth_seek@@ORGSYNTH_1' '$work/exports.txt' &&
   grep -qx 'orgsynth_set_tempo_factor@@ORGSYNTH_1.1' '$work/exports.txt' &&
   grep -qx 'orgsynth_next_loop_frame@@ORGSYNTH_1.1' '$work/exports.txt'"

song=$source/data/Org/Greensleeves.org
"$org2wav" -q --loops 2 --bank "$source/data/Org/Wave100.dat" "$song" "$work/org2wav.wav"
strict="-std=c99 -Wall -Wextra -pedantic -Werror${sanitize:+ -fsanitize=$sanitize}"
# Exactly as the README says for a private prefix: PKG_CONFIG_PATH, and an rpath to the libdir.
cc $strict "$source/examples/render_wav.c" $(pkg-config --cflags --libs orgsynth) \
  -Wl,-rpath,"$(pkg-config --variable=libdir orgsynth)" -o "$work/render_shared" 2>"$work/cc.log"
check "the example builds against the shared library as strict C99" [ $? = 0 ]
cc $strict "$source/examples/render_wav.c" $(pkg-config --cflags orgsynth) \
  "$libdir/liborgsynth.a" $(pkg-config --libs-only-other --static orgsynth) -lstdc++ -lm \
  -lpthread -o "$work/render_static" 2>>"$work/cc.log"
check "and against the static library" [ $? = 0 ]
cat "$work/cc.log"
env -u LD_LIBRARY_PATH "$work/render_shared" "$song" "$work/shared.wav" >/dev/null
check "the shared build renders exactly what org2wav --loops 2 renders" \
  cmp -s "$work/shared.wav" "$work/org2wav.wav"
"$work/render_static" "$song" "$work/static.wav" >/dev/null
check "the static build too" cmp -s "$work/static.wav" "$work/org2wav.wav"
check "the static build needs no liborgsynth.so" bash -c "! ldd '$work/render_static' | grep -q orgsynth"
env -u LD_LIBRARY_PATH "$work/render_shared" "$source/README.md" "$work/not.wav" \
  >"$work/bad.log" 2>&1
check "the example refuses a file that is not a song, saying why" \
  bash -c "grep -q 'not an Org song' '$work/bad.log'"

check "man -l reads orgsynth(3) without a warning" bash -c \
  "man -l '$prefix/share/man/man3/orgsynth.3' >/dev/null 2>'$work/man.err' && ! [ -s '$work/man.err' ]"

if command -v abidiff >/dev/null; then
  abidiff --exported-interfaces-only --headers-dir2 "$prefix/include" \
    "$source/org/api/liborgsynth.abi" "$library" >"$work/abidiff.txt" 2>&1
  status=$?
  cat "$work/abidiff.txt"
  # Bit 3 (8): an incompatible change. Bit 2 (4) alone: compatible additions, said above.
  check "the ABI has no incompatible change from org/api/liborgsynth.abi (abidiff $status)" \
    [ $((status & 8)) = 0 -a $((status & 3)) = 0 ]
else
  echo "(abidiff is not installed: the ABI is not compared here)"
fi

echo "$failures failed"
[ "$failures" = 0 ]
