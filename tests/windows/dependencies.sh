#!/usr/bin/env bash
# Cross-builds the libraries the Windows programs link, from Debian's own source packages, into
# PREFIX (static libraries, headers and pkg-config files): SDL2 with only the subsystems the
# jukebox uses, libpng (on Debian's libz-mingw-w64) and libebur128 (the tools' loudness). Not
# libsndfile: without its codecs' libraries (FLAC, Ogg, Vorbis, Opus, mpg123, LAME, six more
# source packages) it would add no format, and the Windows tools write WAV with our own writer.
# Usage: tests/windows/dependencies.sh PREFIX WORK_DIR
# Needs root for the deb-src entries (added beside the system's deb entries, same suites) and
# the packages of packages-windows.txt.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
prefix=$(realpath -m "$1") work=$(realpath -m "$2")
jobs=$(nproc)
mkdir -p "$prefix" "$work"
toolchain=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/x86_64-w64-mingw32.cmake"
  -DWINDOWS_PREFIX="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=OFF -DCMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-}")

# Source entries for the suites the machine installs from, if it has none yet.
add_source_entries() {
  if apt-cache showsrc libsdl2 2>/dev/null | grep -q '^Package:'; then return; fi
  local list=/etc/apt/sources.list.d
  if [ -f $list/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' $list/debian.sources > $list/windows-deb-src.sources
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > $list/windows-deb-src.list
  fi
  apt-get update -qq -o APT::Sandbox::User=root
}

# `apt-get source` of the newest version the mirror still holds (a security update's sources
# may be listed before the mirror carries them), unpacked with Debian's patches into DIR.
# UPSTREAM_ONLY "upstream-ok" lets a package whose Debian part is packaging only (libebur128
# 1.2.6-1: no patches, its changelog says) fall back to its upstream release, as apt fetched it
# and checked it against the Sources index, when a mirror lacks that part (the debian.tar.xz).
# SDL2's and libpng's Debian patches fix security holes: for them a missing part is an error.
fetch_source() {
  local package=$1 dir=$2 upstream_only=${3:-} version
  [ -d "$work/$dir" ] && return
  for version in "" $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -rV); do
    if (cd "$work" && apt-get source -qq --download-only -o APT::Sandbox::User=root \
          "$package${version:+=$version}" >"$work/$package.log" 2>&1); then
      local dsc
      dsc=$(ls -t "$work/${package}_"*.dsc | head -1)
      (cd "$work" && dpkg-source -x --no-check "$dsc" "$dir" >/dev/null)
      return
    fi
  done
  local orig
  orig=$(ls -t "$work/${package}_"*.orig.tar.* 2>/dev/null | head -1)
  if [ "$upstream_only" != upstream-ok ] || [ -z "$orig" ]; then
    echo "dependencies.sh: no whole source package of $package could be fetched:" >&2
    cat "$work/$package.log" >&2
    return 1
  fi
  echo "dependencies.sh: note: this mirror lacks Debian's packaging of $package (no patches);" \
    "building its upstream release, $(basename "$orig"), as Debian does" >&2
  mkdir -p "$work/$dir"
  tar -xf "$orig" -C "$work/$dir" --strip-components=1
}

build() {
  local dir=$1; shift
  cmake -S "$work/$dir" -B "$work/$dir-build" "${toolchain[@]}" "$@" >/dev/null
  cmake --build "$work/$dir-build" -j "$jobs" >/dev/null
  cmake --install "$work/$dir-build" >/dev/null
}

add_source_entries
fetch_source libsdl2 sdl2
fetch_source libpng1.6 libpng
fetch_source libebur128 libebur128 upstream-ok

# SDL2: audio (its disk driver included: the tests capture what plays), video and its
# renderers, events, joysticks (the pads), threads, timers.
sdl_off=()
for subsystem in HAPTIC HIDAPI POWER SENSOR LOCALE MISC FILESYSTEM; do
  sdl_off+=(-DSDL_$subsystem=OFF)
done
build sdl2 -DSDL_CCACHE=OFF -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON \
  -DSDL_VULKAN=OFF -DSDL_OPENGLES=OFF "${sdl_off[@]}"
build libpng -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF
build libebur128 -DENABLE_TESTS=OFF
