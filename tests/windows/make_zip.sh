#!/usr/bin/env bash
# Packs what a Windows user unpacks and runs: the five programs and orgsynth-1.dll (stripped),
# the demo data beside them (where the programs look for it), a README for Windows and the
# licence texts (ours and those of the libraries linked in), the library's header, import
# library and C example, all in one folder inside the zip. Text files get CRLF line ends.
# Usage: tests/windows/make_zip.sh WINDOWS_BUILD_DIR ZIP
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "$1") zip=$(realpath -m "$2")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top=$stage/orvalinde-jukebox
mkdir -p "$top/sdk/include" "$top/sdk/lib" "$top/sdk/examples" "$top/licenses"

for program in app/jukebox tools/org2wav tools/org2mid tools/orgplay tools/songc; do
  x86_64-w64-mingw32-strip -o "$top/$(basename "$program").exe" "$build/$program.exe"
done
x86_64-w64-mingw32-strip -o "$top/orgsynth-1.dll" "$build/org/api/orgsynth-1.dll"
cp -r "$here/data/." "$top/"

crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }
crlf "$here/packaging/windows/README.txt" "$top/README.txt"
crlf "$here/packaging/copyright" "$top/COPYRIGHT.txt"
crlf "$here/include/orgsynth.h" "$top/sdk/include/orgsynth.h"
crlf "$here/examples/render_wav.c" "$top/sdk/examples/render_wav.c"
cp "$build/org/api/liborgsynth.dll.a" "$top/sdk/lib/"
sources=$build/sources
crlf "$sources/sdl2/LICENSE.txt" "$top/licenses/SDL2.txt"
crlf "$sources/libpng/LICENSE" "$top/licenses/libpng.txt"
crlf "$sources/libebur128/COPYING" "$top/licenses/libebur128.txt"
crlf /usr/share/doc/libz-mingw-w64-dev/copyright "$top/licenses/zlib.txt"
crlf /usr/share/doc/mingw-w64-common/copyright "$top/licenses/mingw-w64-winpthreads.txt"
crlf /usr/share/doc/gcc-mingw-w64-base/copyright "$top/licenses/gcc-runtime.txt"

rm -f "$zip"
(cd "$stage" && zip -q -r -X -9 "$zip" orvalinde-jukebox)
echo "$zip: $(stat -c %s "$zip") bytes, $(unzip -Z1 "$zip" | grep -vc '/$') files"
