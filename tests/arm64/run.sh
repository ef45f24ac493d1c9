#!/usr/bin/env bash
# Cross-builds everything for 64-bit ARM, runs the unit and integration tests under qemu-user,
# and requires the arm64 renders of every demo song to match the x86-64 ones byte for byte.
# Usage: tests/arm64/run.sh X86_BUILD_DIR ARM64_BUILD_DIR
# Needs the packages of packages-arm64.txt (with `dpkg --add-architecture arm64` first) and a
# finished x86-64 build in X86_BUILD_DIR.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
x86=$1 arm=$2

cmake -S "$here" -B "$arm" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/aarch64-linux-gnu.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_CXX_FLAGS=-Werror -DBUILD_BENCHMARKS=OFF
cmake --build "$arm" -j "$(nproc)"

# Left out under the emulator, and run on x86-64 in every other stage:
# - whatever starts a second thread: under qemu-user 7.2 (Debian 12) pthread_create never
#   returns in the emulated program, so the runtime's start-up (timer and sound threads), the
#   jukebox program (its signal watcher), the concurrency tests, the timer's own test, the exits while a song plays, and the tools' tests
#   that run orgplay (its sound thread) would only wait for their time limit;
# - the tests that render long songs many times over (loudness, loop tags, a playlist in
#   parallel, the golden renders of every demo song, the library's seeks through every song, its
#   1.1 controls at their neutral values and transposed over every demo song),
#   which take minutes when every instruction is emulated; the renders themselves are compared
#   below.
# The X end-to-end tests need an X server of the build machine's own kind and are not built for
# another one.
threads='RuntimeStartupTest\.|DisplayStartupTest\.|ConcurrencyTest\.|ThreadTickSourceTest\.'
threads+='|InputTest\.KeyboardFailuresEndTheProgram|MainWindowTest\.FocusLostHoldsThePump'
threads+='|ExitPathsTest\.(AFatalErrorWhileASongPlays|WithoutADisplay)|DamagedInputCliTest\.(MissingFiles|ASongWithoutDrums)'
threads+='|ToolArgumentsCliTest\.(EachMissingDrumFile|WithoutDrumsBesideTheSong|OrgplayEndsAfter|OrgplayStartsWhere|PathsOutside)'
threads+='|SafeOutputCliTest\.ALinkIsFollowed|InstanceLockTest\.ALaterCopy'
slow='Org2wavCliTest\.InfoDescribesTheSong|ExportCliTest\.(TheLoopTags|Loudness|AWholePlaylist)'
slow+='|GoldenRenderTest\.|OrgsynthDemoSongTest\.|OrgsynthInteractiveTest\.(EveryControl|Transposing)'
ctest --test-dir "$arm" --output-on-failure -j "$(nproc)" -E "EndToEnd|$threads|$slow"

"$here/tests/arm64/compare_renders.sh" "$x86" "$arm"
