#!/usr/bin/env bash
# The jukebox on the desktop's media-player bus (MPRIS), end to end: a private session bus
# (dbus-daemon), the jukebox under Xvfb with the sustained sine and a demo song given on its
# command line, and dbus-send and dbus-monitor as the desktop's media controls: the first song
# given plays at once, with its title; Play (and the capture sounds), Paused; Next changes the
# title and the screen; a key press announces PropertiesChanged; Volume 0.5 is 6 dB lower;
# OpenUri plays a song given by URI, also one whose name is not Japanese Windows text (its title
# kept whole); Quit ends it with exit code 0. And without a session bus it runs as before,
# saying so once.
# Usage: jukebox_mpris_e2e.sh JUKEBOX FIND_WINDOW CAPTURE_CHECK SONGC SOURCE_DIR
# Exits 77 (skipped) when no X server or no dbus-daemon can run here.
set -u
jukebox=$1 find_window=$2 capture_check=$3 songc=$4 source=$5
source "$(dirname "$0")/e2e_common.sh"
cp -r "$source/data/." "$work/"
mkdir -p "$work/mine"
"$songc" "$source/tests/tools/sustained_sine.score" "$work/mine/Sine.org" >/dev/null
cp "$source/data/Org/Twinkle.org" "$work/mine/Twinkle.org"
cp "$source/data/Org/Sakura.org" "$work/mine/Opened by URI.org"
cp "$source/data/Org/Joy.org" "$work/mine/Joie à toi.org"

# --- without a session bus: one line, and the jukebox runs as before
saved_runtime=${XDG_RUNTIME_DIR:-}
unset DBUS_SESSION_BUS_ADDRESS
export XDG_RUNTIME_DIR=$work/no-runtime
start_jukebox 0
if [ -n "$saved_runtime" ]; then export XDG_RUNTIME_DIR=$saved_runtime; else unset XDG_RUNTIME_DIR; fi
check "without a session bus it says so once" \
  [ "$(grep -c 'no session bus' "$work/stderr0.txt")" = 1 ]
press Escape
wait_jukebox
check "and runs as before (Escape exits 0)" [ $? = 0 ]

# --- a private session bus
start_session_bus
status() { get PlaybackStatus | sed -n 's/.*string "\(.*\)"/\1/p'; }
get_loop() {
  dbus-send --session --print-reply --dest=$name /org/mpris/MediaPlayer2 \
    org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player string:LoopStatus |
    sed -n 's/.*string "\(.*\)"/\1/p'
}
export -f get_loop
export name
title() { get Metadata | grep -A1 '"xesam:title"' | tail -1 | sed -n 's/.*string "\(.*\)"/\1/p'; }

start_jukebox 1 "$work/mine/Sine.org" "$work/mine/Twinkle.org"
dbus-monitor --session "type='signal',interface='org.freedesktop.DBus.Properties'" \
  >"$work/signals.txt" 2>/dev/null &
pids+=($!)
sleep 0.5
check "the player is on the bus, Playing the first song given at once" [ "$(status)" = Playing ]
check "whose title is there from the start" [ "$(title)" = Sine ]
identity=$(dbus-send --session --print-reply --dest=$name /org/mpris/MediaPlayer2 \
  org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2 string:Identity)
check "it says who it is" grep -q "Orvalinde JUKEBOX" <<<"$identity"
shot stopped

capture=$work/capture1.raw
call Play
sleep 1.5
check "Play: Playing" [ "$(status)" = Playing ]
check "and the title of the first song given (its file name)" [ "$(title)" = Sine ]
check "and the capture sounds" bash -c "! '$capture_check' silent '$capture' \
  $(( $(position) - second / 2 )) $(position)"
length=$(get Metadata | grep -A1 '"mpris:length"' | sed -n 's/.*int64 \([0-9]*\).*/\1/p')
check "the length is as the jukebox plays it: the 30 s time limit, its second and the fade \
($length µs)" [ "${length:-0}" = 35445000 ]
url=$(get Metadata | grep -A1 '"xesam:url"' | tail -1 | sed -n 's/.*string "\(.*\)"/\1/p')
check "a song given by path has its file URL" [ "$url" = "file://$work/mine/Sine.org" ]

# Volume 0.5 is 6 dB down.
set_volume() {
  dbus-send --session --print-reply --dest=$name /org/mpris/MediaPlayer2 \
    org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player string:Volume \
    "variant:double:$1" >/dev/null
}
check_level_drop "Volume 0.5 lowers the level by 6 dB" 6 0.5 set_volume 0.5
check "and reads back as 0.5, as it was set" \
  bash -c "get() { dbus-send --session --print-reply --dest=$name /org/mpris/MediaPlayer2 \
    org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player string:Volume; }; \
    get | grep -q 'double 0.5\$'"

call Pause
sleep 0.3
check "Pause: Paused" [ "$(status)" = Paused ]
call PlayPause
sleep 0.3
check "PlayPause: Playing again" [ "$(status)" = Playing ]

call Next
sleep 0.4
check "Next changes the title" [ "$(title)" = Twinkle ]
shot next
check "and the screen" differ_in stopped next 160x8+80+72

: >"$work/signals.txt"
press Right
sleep 0.5
check "a key press (Right) announces PropertiesChanged with the new Metadata" \
  grep -q '"Metadata"' "$work/signals.txt"
check "whose title is the song Right went to" grep -q '"Sine"' "$work/signals.txt"

call OpenUri "string:file://$work/mine/Opened%20by%20URI.org"
sleep 0.5
check "OpenUri plays the song given by URI" [ "$(title)" = "Opened by URI" ]
check "and it plays" [ "$(status)" = Playing ]
call OpenUri "string:file://$work/mine/Joie%20%C3%A0%20toi.org"
sleep 0.5
check "a song whose name is not Japanese Windows text opens, its title kept whole" \
  [ "$(title)" = "Joie à toi" ]
check "and it is heard" bash -c "! '$capture_check' silent '$capture' \
  $(( $(position) - second / 4 )) $(position)"
check "no box and no complaint about it" bash -c "! grep -q 'Joie' '$work/stderr1.txt'"
dbus-send --session --print-reply --dest=$name /org/mpris/MediaPlayer2 \
  org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player string:LoopStatus \
  variant:string:Track >/dev/null
sleep 0.3
shot endless
check "LoopStatus Track turns endless repeat on (ENDLESS shows)" differ_in next endless 56x8+186+56
for loop in Playlist None Track; do
  dbus-send --session --print-reply --dest=$name /org/mpris/MediaPlayer2 \
    org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player string:LoopStatus \
    "variant:string:$loop" >/dev/null
  check "LoopStatus $loop reads back as set" bash -c "[ \"\$(get_loop)\" = $loop ]"
done

dbus-send --session --print-reply --dest=$name /org/mpris/MediaPlayer2 \
  org.mpris.MediaPlayer2.Quit >/dev/null
wait_jukebox
check "Quit ends it with exit code 0" [ $? = 0 ]

echo "$failures failed"
[ "$failures" = 0 ]
