#!/usr/bin/env bash
# The jukebox as a desktop music player, end to end under Xvfb (a 1280 x 1024 screen, no window
# manager): its command line, songs given by path, a window resized to 960 x 720 showing the
# 320 x 240 picture exactly three times over, full screen with Alt+Return at the largest whole
# factor, pause and resume (the time and the sound stand still, the pitch is the same after),
# one step of volume (3 dB), --scale, and the settings it remembers.
# Usage: jukebox_desktop_e2e.sh JUKEBOX FIND_WINDOW CAPTURE_CHECK SONGC SOURCE_DIR
# Exits 77 (skipped) when no X server can run here.
set -u
jukebox=$1 find_window=$2 capture_check=$3 songc=$4 source=$5
xvfb_screen=1280x1024x24
source "$(dirname "$0")/e2e_common.sh"
cp -r "$source/data/." "$work/"
mkdir -p "$work/mine/folder" "$work/mine/list/Org"
"$songc" "$source/tests/tools/sustained_sine.score" "$work/mine/Sine.org" >/dev/null
cp "$source/data/Org/Twinkle.org" "$source/data/Org/Sakura.org" "$work/mine/folder/"
cp "$source/data/Org/Greensleeves.org" "$work/mine/list/Org/"
printf '0\t40\tOrg\\Greensleeves.org\tGREEN\n' >"$work/mine/list/music.txt"

# --- the command line, without a window
"$jukebox" --help >"$work/help.txt" 2>&1
check "--help exits 0" [ $? = 0 ]
check "--help shows the options and the keys" grep -q -- "--scale N" "$work/help.txt"
check "--help names the pause key" grep -q "Return, Pause" "$work/help.txt"
"$jukebox" --version >"$work/version.txt" 2>&1
check "--version exits 0 and says the version" grep -q "^jukebox (Orvalinde JUKEBOX) [0-9]" \
  "$work/version.txt"
"$jukebox" --frobnicate >"$work/out.txt" 2>"$work/err.txt"
check "an unknown option exits 2" [ $? = 2 ]
check "with the usage on standard error" grep -q "unknown option --frobnicate" "$work/err.txt"
check "and nothing on standard output" [ ! -s "$work/out.txt" ]
"$jukebox" --scale 0 >/dev/null 2>&1
check "a bad scale exits 2" [ $? = 2 ]

# --- nothing playable among the songs given: said, and exit 1
(cd "$work" && "$jukebox" "$work/no-such.org" "$work/help.txt" 2>"$work/stderr-none.txt") &
nothing_pid=$!
pids+=($nothing_pid)
for _ in $(seq 30); do
  box=$("$find_window" jukebox | head -1)
  [ -n "$box" ] && { xdotool windowfocus "$box"; sleep 0.1; xdotool key Return; break; }
  kill -0 "$nothing_pid" 2>/dev/null || break
  sleep 0.1
done
wait "$nothing_pid"
check "with nothing playable it exits 1" [ $? = 1 ]
check "naming each song left out" grep -q "no-such.org: no such file or folder: left out" \
  "$work/stderr-none.txt"
check "and saying why it stops" grep -q "None of the songs given can be played" \
  "$work/stderr-none.txt"

# --- songs given on the command line
start_jukebox 1 "$work/mine/Sine.org" "$work/mine/folder" "$work/mine/list/music.txt" \
  "$work/missing.org"
check "a missing path is named and left out" grep -q "missing.org: no such file or folder" \
  "$work/stderr1.txt"
check "the songs given are found: no other problem" [ "$(grep -c 'left out' "$work/stderr1.txt")" = 1 ]
shot first
convert "$work/system/jukebg.png" "$work/background.png"
check "the first song's title (from its file name) is drawn" differ_in first background 64x8+80+72
capture=$work/capture1.raw
sleep 1
check "the first song given plays at once, without a key" \
  bash -c "! '$capture_check' silent '$capture' $(( $(position) - second / 2 )) $(position)"
# Held, so that the time on the screen stands still for the pictures below.
press Return
sleep 0.3
shot first

# Resized to 960 x 720: the same picture, each pixel three times over.
xdotool windowmove "$window" 0 0
xdotool windowsize "$window" 960 720
sleep 0.6
shot resized
convert "$work/first.png" -scale 300% "$work/first_x3.png"
check "the window is 960 x 720" [ "$(identify -format %wx%h "$work/resized.png")" = 960x720 ]
check "showing the 1x picture scaled 3x exactly" same_in first_x3 resized 960x720+0+0

# Alt+Return: the whole screen, the picture at the largest whole factor (4), centred on black.
xdotool keydown alt keydown Return; sleep 0.12; xdotool keyup Return keyup alt
sleep 1
import -window root "$work/root.png"
convert "$work/first.png" -scale 400% "$work/first_x4.png"
convert "$work/root.png" -crop 1280x960+0+32 +repage "$work/root_picture.png"
check "full screen shows the picture 4x, centred" same_in first_x4 root_picture 1280x960+0+0
check "on black above and below" \
  [ "$(convert "$work/root.png" -crop 1280x32+0+0 -format '%[fx:maxima]' info:)" = 0 ]
press F11
sleep 0.8
xdotool windowsize "$window" 320 240
sleep 0.5
press Return

# Pause and resume on the sustained sine.
press space
sleep 1.5
before=$(position)
shot playing
press Return
sleep 0.5
paused_from=$(position)
sleep 1.5
paused_to=$(position)
shot paused_a
sleep 1.1
shot paused_b
press Return
sleep 1.5
resumed=$(position)
check "PAUSE is shown while paused" differ_in playing paused_a 40x8+252+56
check "the time stands still while paused" same_in paused_a paused_b 40x8+20+230
check "the sound is silent while paused" "$capture_check" silent "$capture" "$paused_from" \
  "$paused_to"
pitch_before=$("$capture_check" pitch "$capture" $((before - second)) "$before")
pitch_after=$("$capture_check" pitch "$capture" $((resumed - second)) "$resumed")
check "the sine plays at 440 Hz before the pause ($pitch_before)" \
  awk "BEGIN { exit !($pitch_before > 435 && $pitch_before < 445) }"
check "and at the same pitch after it ($pitch_after)" \
  awk "BEGIN { exit !($pitch_after > $pitch_before - 1 && $pitch_after < $pitch_before + 1) }"

# Alt+Return while a song plays: full screen and back, and the song goes on (no pause).
xdotool keydown alt keydown Return; sleep 0.12; xdotool keyup Return keyup alt
sleep 0.8
xdotool keydown alt keydown Return; sleep 0.12; xdotool keyup Return keyup alt
sleep 0.8
xdotool windowsize "$window" 320 240
sleep 0.3
shot after_fullscreen
alt_return_at=$(position)
sleep 0.5
check "Alt+Return does not also pause: no PAUSE" same_in playing after_fullscreen 40x8+252+56
check "and the sound goes on" \
  bash -c "! '$capture_check' silent '$capture' $alt_return_at $(position)"

# One step down: 3 dB lower.
check_level_drop "Down lowers the level by 3 dB" 3 0.3 press Down
press Escape
wait_jukebox
check "Escape ends it with exit code 0" [ $? = 0 ]
settings=$work/config/orvalinde-jukebox/settings.ini
check "the volume is remembered" grep -q "^volume_step=1$" "$settings"
check "and the scale of the window as it was left" grep -q "^scale=1$" "$settings"

# --scale 2, and the remembered volume.
start_jukebox 2 --scale 2
check "--scale 2 makes a 640 x 480 window" \
  [ "$(xdotool getwindowgeometry "$window" | awk '/Geometry/ { print $2 }')" = 640x480 ]
press Escape
wait_jukebox
check "the new scale is remembered" grep -q "^scale=2$" "$settings"

# --scale 6 does not fit a 1280 x 1024 screen: the largest whole factor that does.
start_jukebox 3 --scale 6
check "--scale 6 on a 1280 x 1024 screen opens the largest window that fits whole (1280 x 960)" \
  [ "$(xdotool getwindowgeometry "$window" | awk '/Geometry/ { print $2 }')" = 1280x960 ]
check "and asks the window manager never to make it smaller than the picture" \
  bash -c "xprop -id '$window' WM_NORMAL_HINTS | grep -q 'minimum size: 320 by 240'"
press Escape
wait_jukebox
check "the scale that fitted is remembered" grep -q "^scale=4$" "$settings"

# A settings file with bad values: each value stands or falls alone, and what falls is said.
printf 'scale=99\nvolume_step=3\nfullscreen=maybe\n' >"$settings"
start_jukebox 4
check "a bad value is said, with the default that stands" \
  grep -q "scale=99 is not a scale from 1 to 16: 1 stands" "$work/stderr4.txt"
check "as is the other" grep -q "fullscreen=maybe is not 0 or 1: 0 stands" "$work/stderr4.txt"
press Escape
wait_jukebox
check "the good value is kept" grep -q "^volume_step=3$" "$settings"
rm "$settings"
mkdir "$settings"
start_jukebox 5
check "a settings path that is a folder is said" \
  grep -q "cannot read the settings file .* (it is a folder): the defaults stand" "$work/stderr5.txt"
press Escape
wait_jukebox
check "and that they cannot be saved there" grep -q "cannot be saved to .*: it is a folder" \
  "$work/stderr5.txt"

echo "$failures failed"
[ "$failures" = 0 ]
