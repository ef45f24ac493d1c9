#!/usr/bin/env bash
# The Windows stage: cross-builds the jukebox, the tools and liborgsynth for 64-bit Windows with
# MinGW-w64 (SDL2, libpng and libebur128 cross-built first from Debian's source packages), runs
# the unit and integration tests under Wine, requires org2wav.exe's renders to match the Linux
# ones byte for byte, runs the jukebox under Wine on Xvfb as a person does, checks the DLL and
# the C example built against it, and leaves BUILD_DIR/orvalinde-jukebox-windows-x86_64.zip.
# Usage: tests/windows/run.sh BUILD_DIR [NATIVE_BUILD_DIR]
# Needs the packages of packages-windows.txt, root (for the deb-src entries), and a finished
# Linux build in NATIVE_BUILD_DIR (default: build) to compare with.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "$1")
native=$(realpath "${2:-$here/build}")
jobs=$(nproc)
mkdir -p "$build"

# Each step's time, printed as the stage ends.
steps=()
step_started=$SECONDS
step_name=""
step() {
  [ -n "$step_name" ] && steps+=("$((SECONDS - step_started)) s  $step_name")
  step_name=$1 step_started=$SECONDS
  echo "== windows: $1"
}

source "$here/tests/windows/wine_session.sh"
cleanup() {
  [ -n "$step_name" ] && steps+=("$((SECONDS - step_started)) s  $step_name")
  wine_session_end
  echo "== windows stage times (total $SECONDS s)"
  printf '  %s\n' "${steps[@]}"
}
trap cleanup EXIT

step "the Windows prefix of Wine, booted once (in the background while the libraries build)"
wine_session_begin "$build"

step "SDL2, libpng and libebur128 from Debian's source packages"
"$here/tests/windows/dependencies.sh" "$build/prefix" "$build/sources"

step "the project, cross-built"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/x86_64-w64-mingw32.cmake" \
  -DWINDOWS_PREFIX="$build/prefix" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS=-Werror -DBUILD_BENCHMARKS=OFF \
  >"$build/configure.log"
cmake --build "$build" -j "$jobs"

step "the unit and integration tests under Wine"
wine_session_wait_for_boot
# The test programs find orgsynth-1.dll where Windows looks: on the PATH.
WINEPATH="$build/org/api" ctest --test-dir "$build" --output-on-failure -j "$jobs"

step "org2wav.exe's renders against the Linux ones"
"$here/tests/windows/compare_renders.sh" "$native" "$build"

step "liborgsynth as orgsynth-1.dll"
"$here/tests/windows/library_check.sh" "$build" "$native"

step "the zip"
"$here/tests/windows/make_zip.sh" "$build" "$build/orvalinde-jukebox-windows-x86_64.zip"

step "the jukebox under Wine on Xvfb, unpacked from the zip"
"$here/tests/windows/jukebox_e2e.sh" "$build/orvalinde-jukebox-windows-x86_64.zip" "$native" \
  "$here/data"
