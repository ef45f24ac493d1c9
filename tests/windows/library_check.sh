#!/usr/bin/env bash
# liborgsynth as a Windows developer meets it: orgsynth-1.dll exports exactly the C API (every
# function the header declares, nothing else), its import library links the C example as
# strict C99, and the example under Wine renders the bytes the Linux org2wav renders.
# Usage: tests/windows/library_check.sh WINDOWS_BUILD_DIR NATIVE_BUILD_DIR (Wine set up)
set -u
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$1 native=$2
dll=$build/org/api/orgsynth-1.dll
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# The export table, as Windows' loader reads it.
x86_64-w64-mingw32-objdump -p "$dll" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[/ && NR > 1 {print $NF}' |
  sort >"$work/exports.txt"
grep 'ORGSYNTH_API' "$here/include/orgsynth.h" | grep -oE '\borgsynth_[a-z0-9_]+\(' | tr -d '(' |
  sort >"$work/declared.txt"
echo "orgsynth-1.dll exports $(wc -l <"$work/exports.txt") functions:"
column -c 100 "$work/exports.txt" | sed 's/^/  /'
check "it exports orgsynth_* and nothing else" bash -c "! grep -v '^orgsynth_[a-z0-9_]*\$' '$work/exports.txt'"
check "every function of orgsynth.h, and only those" cmp -s "$work/exports.txt" "$work/declared.txt"
check "it needs no MinGW runtime DLL (libgcc, libstdc++, libwinpthread linked in)" bash -c \
  "! x86_64-w64-mingw32-objdump -p '$dll' | grep 'DLL Name' | grep -qi -e libgcc -e libstdc -e pthread"

x86_64-w64-mingw32-gcc-posix -std=c99 -Wall -Wextra -pedantic -Werror \
  -I "$here/include" "$here/examples/render_wav.c" -L "$build/org/api" -lorgsynth \
  -o "$work/render_wav.exe" 2>"$work/cc.log"
check "the example builds against the import library as strict C99" [ $? = 0 ]
cat "$work/cc.log"
check "and loads orgsynth-1.dll" bash -c \
  "x86_64-w64-mingw32-objdump -p '$work/render_wav.exe' | grep -q 'DLL Name: orgsynth-1.dll'"
cp "$dll" "$work/"
song=$here/data/Org/Greensleeves.org
"$native/tools/org2wav" -q --loops 2 --bank "$here/data/Org/Wave100.dat" "$song" "$work/linux.wav"
(cd "$work" && wine ./render_wav.exe "$song" windows.wav >/dev/null </dev/null)
check "under Wine it renders exactly what the Linux org2wav --loops 2 renders" \
  cmp -s "$work/windows.wav" "$work/linux.wav"
(cd "$work" && wine ./render_wav.exe "$here/README.md" not.wav >bad.log 2>&1 </dev/null)
check "it refuses a file that is not a song, saying why" grep -q 'not an Org song' "$work/bad.log"

echo "$failures failed"
[ "$failures" = 0 ]
