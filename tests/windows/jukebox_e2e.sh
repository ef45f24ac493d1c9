#!/usr/bin/env bash
# jukebox.exe end to end under Wine, as a Windows user meets it: unpacked from the zip into a
# folder whose name has characters outside CP932, started from elsewhere (it finds its data
# beside itself), on the stage's X server (DISPLAY, Xvfb) with SDL's disk audio driver (the
# dummy driver that writes what it plays to a file), keys held as a person holds them. Its first
# frame is compared with the Linux jukebox's first frame on the same server, pixel for pixel.
# Usage: tests/windows/jukebox_e2e.sh ZIP NATIVE_BUILD_DIR DATA_DIR (Wine set up, DISPLAY set)
set -u
zip=$1 data=$3
linux_jukebox=$2/app/jukebox close_window=$2/tests/close_window
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  if [ -n "${KEEP_E2E_WORK:-}" ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
failures=0
check() {
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
press() { xdotool keydown "$1"; sleep 0.12; xdotool keyup "$1"; sleep 0.15; }
# A window's client area from the screen (Wine draws into windows of its own below the top one).
shot() {
  local geometry
  geometry=$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {printf "%dx%d+%d+%d", w, h, x, y}')
  import -window root -crop "$geometry" +repage "$work/$2.png"
}
diff_in() { compare -metric AE -extract "$3" "$work/$1.png" "$work/$2.png" null: 2>&1 | cut -d' ' -f1; }
differ_in() { [ "$(diff_in "$@")" != 0 ]; }
# The first visible window found by xdotool search's "$@" (--class C, --pid P), waited for up
# to 30 s (Wine starts slowly).
find_window() {
  local found=""
  for _ in $(seq 300); do
    found=$(xdotool search --onlyvisible "$@" 2>/dev/null | head -1)
    [ -n "$found" ] && break
    sleep 0.1
  done
  echo "$found"
}
# Waits up to 15 s for process $1 to end; its exit status, or 124.
wait_for() {
  for _ in $(seq 150); do
    kill -0 "$1" 2>/dev/null || { wait "$1"; return $?; }
    sleep 0.1
  done
  return 124
}
# The loudest sample of a capture (16-bit stereo), from byte $2 on.
peak() { /usr/bin/python3 -c "import sys, array; a = array.array('h'); a.frombytes(open(sys.argv[1], 'rb').read()[int(sys.argv[2]):]); print(max(map(abs, a), default=0))" "$1" "$2"; }

# The Linux jukebox's first frame, drawn in software, as the picture to match.
mkdir -p "$work/linux"
cp -r "$data/." "$work/linux/"
(cd "$work/linux" && exec env SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 \
  XDG_CONFIG_HOME="$work/linux-config" RTLIB_INSTANCE_SUFFIX="-windows-e2e-$$" \
  "$linux_jukebox" 2>"$work/linux-stderr.txt") &
linux_pid=$!
pids+=($linux_pid)
find_window --pid "$linux_pid" >/dev/null
sleep 1
linux_window=$(find_window --pid "$linux_pid")
shot "$linux_window" linux-first
xdotool windowfocus --sync "$linux_window"
press Escape
wait_for "$linux_pid" >/dev/null

# Unpacked where a Windows user might: a folder named in Hangul with a note.
folder="$work/노래 ♫"
mkdir -p "$folder"
unzip -q "$zip" -d "$folder"
program="$folder/orvalinde-jukebox/jukebox.exe"
check "the zip holds the programs, the DLL, the data and the README" bash -c "cd '$folder/orvalinde-jukebox' &&
  ls jukebox.exe org2wav.exe org2mid.exe orgplay.exe songc.exe orgsynth-1.dll Org/Wave100.dat \
     Org/music.txt system/jukebg.png README.txt COPYRIGHT.txt licenses/SDL2.txt sdk/include/orgsynth.h >/dev/null"
settings_of_wine() { ls "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/orvalinde-jukebox/settings.ini 2>/dev/null; }
rm -f $(settings_of_wine)

start_windows_jukebox() {  # N [SONGS...]: started from $work, its sound captured to capture<N>.raw
  local run=$1; shift
  (cd "$work" && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/capture$run.raw" \
    SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 wine "$program" "$@" >"$work/stdout$run.txt" 2>"$work/stderr$run.txt") &
  jukebox_pid=$!
  pids+=($jukebox_pid)
  window=$(find_window --class jukebox.exe)
  [ -n "$window" ] || { echo "FAILED: jukebox.exe showed no window"; cat "$work/stderr$run.txt"; exit 1; }
  sleep 1.5
  window=$(find_window --class jukebox.exe)
  xdotool windowfocus --sync "$window"
  sleep 0.3
}

start_windows_jukebox 1
shot "$window" first
check "the first frame is 320 x 240" [ "$(identify -format %wx%h "$work/first.png")" = 320x240 ]
check "it is the Linux jukebox's first frame, pixel for pixel ($(diff_in first linux-first 320x240+0+0) differ)" \
  [ "$(diff_in first linux-first 320x240+0+0)" = 0 ]
check "the window's title is the game's" bash -c "xdotool getwindowname $window | grep -q 'Orvalinde (仮)  JUKEBOX'"
press space
sleep 2.5
shot "$window" playing
check "Space plays song 0: the time counts" differ_in first playing 40x8+20+230
check "and it is heard (the capture's peak: $(peak "$work/capture1.raw" 0))" \
  [ "$(peak "$work/capture1.raw" 0)" -gt 1000 ]

# A second start without songs ends at once with 0, as the game's second copy did.
(cd "$work" && SDL_AUDIODRIVER=dummy wine "$program" >"$work/stdout2.txt" 2>"$work/stderr2.txt") &
second=$!
wait_for "$second"
check "a second copy ends with 0" [ $? = 0 ]
check "and the first one still runs" kill -0 "$jukebox_pid"

# A second start with a song under a folder named outside CP932 hands it over and ends with 0;
# the running jukebox plays it.
mkdir -p "$work/곡 ♪"
cp "$data/Org/Sakura.org" "$work/곡 ♪/Sakura ♪.org"
before=$(stat -c %s "$work/capture1.raw")
(cd "$work" && SDL_AUDIODRIVER=dummy wine "$program" "$work/곡 ♪/Sakura ♪.org" \
  >"$work/stdout3.txt" 2>"$work/stderr3.txt") &
third=$!
wait_for "$third"
check "a second copy given a song hands it over and ends with 0" [ $? = 0 ]
sleep 1.5
shot "$window" handed
check "the running jukebox shows the song handed over" differ_in playing handed 120x8+80+72
check "and plays it" [ "$(peak "$work/capture1.raw" "$before")" -gt 1000 ]

press Escape
wait_for "$jukebox_pid"
check "Escape ends it with exit code 0" [ $? = 0 ]
check "its settings are saved under %APPDATA%" test -n "$(settings_of_wine)"
check "nothing about a media-player bus is said" bash -c "! grep -qi -e mpris -e 'media keys' -e bus '$work/stderr1.txt'"

# Started with that song itself, and ended by closing its window.
start_windows_jukebox 4 "$work/곡 ♪/Sakura ♪.org"
sleep 1
check "a song under a folder named outside CP932 plays" [ "$(peak "$work/capture4.raw" 0)" -gt 1000 ]
"$close_window" "$window"
wait_for "$jukebox_pid"
status=$?
check "closing the window ends it with exit code 0 (exit code $status)" [ "$status" = 0 ]
for run in 1 3 4; do
  [ -s "$work/stderr$run.txt" ] && { echo "-- standard error of run $run:"; tr -d '\r' <"$work/stderr$run.txt"; }
done

echo "$failures failed"
[ "$failures" = 0 ]
