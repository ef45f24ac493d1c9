#!/usr/bin/env bash
# Installed like any program: `cmake --install` into a scratch prefix, the desktop's files
# checked by their own validators, the installed jukebox started from another folder under Xvfb
# (it finds its installed data, and writes nothing into the prefix or that folder), the installed
# org2wav rendering with the installed bank; then `cpack -G DEB`: the package's contents and its
# declared library dependencies, and (as root) `apt-get install ./package.deb`, `jukebox
# --version` from the PATH, and its removal; the same for liborgsynth's two packages, with a C
# program built against the installed library through pkg-config.
# Usage: install_e2e.sh BUILD_DIR FIND_WINDOW [SANITIZERS]
# SANITIZERS: the build's (address,undefined, say): the C program is built with them too, and
# GStreamer's own player, which cannot load a sanitized plugin, is not tried.
# Exits 77 (skipped) when no X server can run here.
set -u
build=$(realpath "$1") find_window=$2 sanitize=${3:-}
source "$(dirname "$0")/../app/e2e/e2e_common.sh"
prefix=$work/prefix
elsewhere=$work/elsewhere
mkdir -p "$elsewhere"

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1
check "cmake --install succeeds" [ $? = 0 ]
for file in bin/jukebox bin/org2wav bin/org2mid bin/orgplay bin/songc \
    share/orvalinde-jukebox/Org/Wave100.dat share/orvalinde-jukebox/Org/music.txt \
    share/orvalinde-jukebox/system/font_01.png share/applications/orvalinde-jukebox.desktop \
    share/metainfo/io.github.orvalinde.jukebox.metainfo.xml \
    share/mime/packages/orvalinde-jukebox.xml share/man/man1/jukebox.1 \
    share/icons/hicolor/16x16/apps/orvalinde-jukebox.png \
    share/icons/hicolor/256x256/apps/orvalinde-jukebox.png; do
  check "installs $file" [ -f "$prefix/$file" ]
done
check "the desktop entry is valid" desktop-file-validate \
  "$prefix/share/applications/orvalinde-jukebox.desktop"
check "the AppStream metainfo is valid, pedantically and offline" appstreamcli validate --no-net --pedantic \
  "$prefix/share/metainfo/io.github.orvalinde.jukebox.metainfo.xml"
check "the MIME type is well-formed XML" xmllint --noout \
  "$prefix/share/mime/packages/orvalinde-jukebox.xml"
for page in jukebox org2mid org2wav orgplay songc; do
  check "man -l reads the $page page" bash -c \
    "man -l '$prefix/share/man/man1/$page.1' >/dev/null 2>'$work/man.err' && ! [ -s '$work/man.err' ]"
done

# The installed programs from another folder.
find "$prefix" "$elsewhere" | sort >"$work/files_before.txt"
(cd "$elsewhere" && "$prefix/bin/org2wav" -q --seconds 1 \
   "$prefix/share/orvalinde-jukebox/Org/Twinkle.org" "$work/rendered.wav")
check "the installed org2wav renders with the installed bank" [ -s "$work/rendered.wav" ]
jukebox=$prefix/bin/jukebox
work_saved=$work
work=$elsewhere  # start_jukebox runs in $work: here, the folder without data
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" start_jukebox 1
work=$work_saved
shot first
convert "$prefix/share/orvalinde-jukebox/system/jukebg.png" "$work/background.png"
check "the first frame shows the installed background" same_in first background 320x40+0+0
check "and the installed font's texts" differ_in first background 56x8+20+56
press Escape
wait_jukebox
check "Escape ends the installed jukebox with exit code 0" [ $? = 0 ]
rm -f "$elsewhere"/capture1.raw "$elsewhere"/stderr1.txt  # the test's own capture and log
find "$prefix" "$elsewhere" | sort >"$work/files_after.txt"
check "nothing was written into the prefix or the folder it ran in" \
  diff "$work/files_before.txt" "$work/files_after.txt"

# The Debian package.
(cd "$work" && cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1)
check "cpack -G DEB makes a package" bash -c "ls '$work'/deb/orvalinde-jukebox_*.deb >/dev/null 2>&1"
deb=$(ls "$work"/deb/orvalinde-jukebox_*.deb 2>/dev/null | head -1)
lib_deb=$(ls "$work"/deb/liborgsynth1_*.deb 2>/dev/null | head -1)
dev_deb=$(ls "$work"/deb/liborgsynth-dev_*.deb 2>/dev/null | head -1)
check "and the library's two packages" [ -n "$lib_deb" -a -n "$dev_deb" ]
if [ -n "$deb" ]; then
  dpkg-deb -c "$deb" >"$work/contents.txt"
  for file in ./usr/bin/jukebox ./usr/bin/org2wav ./usr/share/orvalinde-jukebox/Org/Wave100.dat \
      ./usr/share/applications/orvalinde-jukebox.desktop ./usr/share/man/man1/jukebox.1 \
      ./usr/share/doc/orvalinde-jukebox/copyright; do
    check "the package holds $file" grep -q " $file\$" "$work/contents.txt"
  done
  check "the library's package has its copyright file" bash -c \
    "dpkg-deb -c '$lib_deb' | grep ' ./usr/share/doc/liborgsynth1/copyright\$' >/dev/null"
  depends=$(dpkg-deb -f "$deb" Depends)
  for library in libsdl2 libpng16 libsystemd0 libc6; do
    check "the package depends on $library ($depends)" grep -q "$library" <<<"$depends"
  done
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    apt-get install -y "$deb" >"$work/apt.log" 2>&1
    check "apt-get install ./package.deb succeeds" [ $? = 0 ]
    check "jukebox --version runs from the PATH" bash -c \
      "cd / && PATH=/usr/bin:/bin jukebox --version | grep -q 'Orvalinde JUKEBOX'"
    apt-get remove -y orvalinde-jukebox >"$work/apt-remove.log" 2>&1
    check "and it is removed again" bash -c "! [ -e /usr/bin/jukebox ]"
    if [ -n "$lib_deb" ] && [ -n "$dev_deb" ]; then
      apt-get install -y "$lib_deb" "$dev_deb" >"$work/apt-lib.log" 2>&1
      check "apt-get installs liborgsynth1 and liborgsynth-dev" [ $? = 0 ]
      cc -std=c99 -Wall -Wextra -pedantic -Werror ${sanitize:+-fsanitize=$sanitize} \
        "$(dirname "$0")/../../examples/render_wav.c" \
        $(pkg-config --cflags --libs orgsynth) -o "$work/render_wav" >"$work/cc.log" 2>&1
      check "a C program builds against it with pkg-config" [ $? = 0 ]
      (cd / && "$work/render_wav" /usr/share/orvalinde-jukebox/Org/Sakura.org "$work/sakura.wav" \
        >/dev/null 2>&1 || "$work/render_wav" "$prefix/share/orvalinde-jukebox/Org/Sakura.org" \
        "$work/sakura.wav" >/dev/null)
      check "and renders with the installed library" [ -s "$work/sakura.wav" ]
      apt-get remove -y liborgsynth-dev liborgsynth1 >"$work/apt-lib-remove.log" 2>&1
      check "and they are removed again" bash -c "! [ -e /usr/include/orgsynth.h ]"
    fi
    gst_deb=$(ls "$work"/deb/gstreamer1.0-orgsynth_*.deb 2>/dev/null | head -1)
    if [ -n "$gst_deb" ] && [ -n "$sanitize" ]; then
      echo "(a sanitized build: gst-play-1.0 cannot load its plugin, so it is not tried)"
    elif [ -n "$gst_deb" ] && command -v gst-play-1.0 >/dev/null; then
      check "the GStreamer plugin's package puts it in the multiarch gstreamer-1.0 folder" \
        bash -c "dpkg-deb -c '$gst_deb' | grep './usr/lib/[a-z0-9_-]*/gstreamer-1.0/libgstorgsynth.so\$' >/dev/null"
      apt-get install -y "$gst_deb" >"$work/apt-gst.log" 2>&1
      check "apt-get installs gstreamer1.0-orgsynth" [ $? = 0 ]
      cp "$(dirname "$0")/../../data/Org/Twinkle.org" "$work/Twinkle.org"
      (cd / && env -u GST_PLUGIN_PATH GST_REGISTRY="$work/gst-registry.bin" timeout 60 \
        gst-play-1.0 -q --no-interactive --audiosink=fakesink "$work/Twinkle.org" \
        >"$work/gst-play.log" 2>&1)
      check "then gst-play-1.0 song.org plays it to its end, without an error" \
        bash -c "[ $? = 0 ] && ! grep -q -i -e error -e 'could not' '$work/gst-play.log'"
      apt-get remove -y gstreamer1.0-orgsynth >"$work/apt-gst-remove.log" 2>&1
    fi
    aud_deb=$(ls "$work"/deb/audacious-orgsynth_*.deb 2>/dev/null | head -1)
    if [ -n "$aud_deb" ]; then
      check "the Audacious plugin's package puts it among Audacious's input plugins" \
        bash -c "dpkg-deb -c '$aud_deb' | grep './usr/lib/[a-z0-9_-]*/audacious/Input/orgsynth.so\$' >/dev/null"
    fi
  else
    echo "(not root: the package is not installed here)"
  fi
fi

echo "$failures failed"
[ "$failures" = 0 ]
