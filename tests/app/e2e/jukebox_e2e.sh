#!/usr/bin/env bash
# The jukebox end to end, as a user sees and hears it: the built program in a copy of the demo
# data folder (time limits cut to 3 s), inside a real X server (Xvfb), keys sent with xdotool,
# screenshots taken with ImageMagick, the sound captured with SDL's disk audio driver.
# Usage: jukebox_e2e.sh JUKEBOX LEVEL_PROFILE CLOSE_WINDOW DATA_DIR SCREENSHOT_OUT
# Exits 77 (skipped) when no X server can run here.
set -u
jukebox=$1 level_profile=$2 close_window=$3 data=$4 screenshot_out=$5
source "$(dirname "$0")/e2e_common.sh"
cp -r "$data/." "$work/"
sed -i 's/^\([0-9]*\)\t[0-9]*\t/\1\t3\t/' "$work/Org/music.txt"

start_jukebox 1
convert "$work/system/jukebg.png" "$work/background.png"
shot first
check "the first frame is 320 x 240" [ "$(identify -format %wx%h "$work/first.png")" = 320x240 ]
check "the background shows where no text is" same_in first background 320x40+0+0
check "JUKEBOX is drawn at (20, 56)" differ_in first background 56x8+20+56
check "the title of song 0 is drawn at (80, 72)" differ_in first background 64x8+80+72
check "the key help is drawn at (90, 110)" differ_in first background 150x60+90+110
check "the time is drawn at (20, 230)" differ_in first background 40x8+20+230
check "no SHUFFLE or ENDLESS yet" same_in first background 122x8+120+56

press space
sleep 2.2
shot playing
check "Space starts song 0 and the time counts" differ_in first playing 40x8+20+230
check "the number stays #00" same_in first playing 24x8+52+72
press Right
shot next
check "Right steps to song 1" differ_in first next 16x8+60+72
press Left
shot previous
check "Left steps back to song 0" same_in first previous 16x8+60+72
press e
shot endless
check "E shows ENDLESS" differ_in first endless 56x8+186+56
press e
press s
shot shuffled
check "S shows SHUFFLE" differ_in first shuffled 56x8+120+56
press d
shot ordered
check "D hides SHUFFLE" same_in first ordered 56x8+120+56
cp "$work/playing.png" "$screenshot_out"

# Song 0 has 3 s; then 127 frames of fade (4.4 s) and song 1 starts.
sleep 9.5
shot advanced
check "after its time and the fade the next song plays" same_in next advanced 16x8+60+72
check "the window found at the start is still the jukebox's only window" \
  [ "$(jukebox_windows | tr '\n' ' ')" = "$window " ]
press Escape
wait_jukebox
check "Escape ends the program with exit code 0" [ $? = 0 ]
drop=$("$level_profile" "$work/capture1.raw")
# The fade lowers the master volume from 127 to 0: about 8 dB on the demo songs' volumes.
check "the capture fades out before the switch (falling by ${drop} dB)" awk "BEGIN { exit !($drop >= 4) }"

# The renderer SDL picks by itself keeps the window the jukebox made: the window found at the
# start is the one the close button closes.
start_jukebox 2 default
sleep 1
check "with the default renderer the first window is still the only one" \
  [ "$(jukebox_windows | tr '\n' ' ')" = "$window " ]
"$close_window" "$window"
wait_jukebox
check "closing the window found at the start ends the program with exit code 0" [ $? = 0 ]

echo "$failures failed"
[ "$failures" = 0 ]
