#!/usr/bin/env bash
# The jukebox on damaged data folders, end to end under Xvfb. First a folder with the main font
# sheet, the background and one drum missing and song 1 cut short: the jukebox shows what it
# can (the fallback font on black), reports the drum and the song, plays song 0 without the
# drum, answers every key and exits 0 on Escape. Then a folder with no waveform bank, no playlist,
# no font sheet at all and no background: an empty screen that still answers keys and Escape.
# Where the X server can show message boxes, each one is answered as a user would (Return).
# Usage: jukebox_damaged_data_e2e.sh JUKEBOX FIND_WINDOW DATA_DIR
# Exits 77 (skipped) when no X server can run here.
set -u
jukebox=$1 find_window=$2 data=$3
source "$(dirname "$0")/e2e_common.sh"

every_key=(space Right Left Up Down Return p e s d a z 1 Tab BackSpace)

cp -r "$data/." "$work/"
rm "$work/system/font_01.png" "$work/system/jukebg.png" "$work/Org/Org/Snare01.wav"
head -c 300 "$data/Org/Korobeiniki.org" >"$work/Org/Korobeiniki.org"  # entry 1
convert -size 320x240 xc:black "$work/black.png"

start_jukebox 1
shot first
check "the first frame is 320 x 240" [ "$(identify -format %wx%h "$work/first.png")" = 320x240 ]
check "without a background the screen is black where no text is" same_in first black 320x40+0+0
check "without font_01.png the texts are drawn with letter.bmp" differ_in first black 56x8+20+56
press space
# The missing drum's two boxes ("ファイルハンドル取得失敗", then its path) wait for OK.
answer_boxes "Error (Load)"
drum_boxes=$boxes_answered
sleep 2.2
shot playing
check "song 0 plays without its missing drum: the time counts" differ_in first playing 40x8+20+230
check "the missing drum is reported" grep -q 'Error (Load): ファイルハンドル取得失敗' "$work/stderr1.txt"
check "with the drum's path" grep -q 'Error (Load): .*Snare01.wav' "$work/stderr1.txt"
check "each box that opened was one of its notices" \
  [ "$drum_boxes" = 0 -o "$drum_boxes" = "$(grep -c '^Error (Load): ' "$work/stderr1.txt")" ]
press Right
answer_boxes "Error (Load)"
sleep 0.3
shot next
check "the cut-short song 1 is reported as unusable" \
  grep -q 'Error (Load): このファイルは使えません' "$work/stderr1.txt"
check "the number shows entry 1 all the same" differ_in first next 16x8+60+72
for key in "${every_key[@]}"; do press "$key"; answer_boxes "Error (Load)"; done
check "it is still running after every key" running
shot before_e
press e
shot after_e
check "and still answers: E toggles ENDLESS" differ_in before_e after_e 56x8+186+56
press Escape
wait_jukebox
check "Escape ends it with exit code 0" [ $? = 0 ]

rm -rf "${work:?}"/*
cp -r "$data/." "$work/"
rm "$work/Org/Wave100.dat" "$work/Org/music.txt" "$work/system/font_01.png" \
  "$work/system/letter.bmp" "$work/system/jukebg.png"
convert -size 320x240 xc:black "$work/black.png"

# Without its bank the folder is no longer taken for a game folder by itself: it is named.
start_jukebox 2 --data .
shot bare
check "with nothing to show the screen is black" same_in bare black 320x240+0+0
for key in "${every_key[@]}"; do press "$key"; done
sleep 0.5
check "with no bank and no playlist it is still running after every key" running
press Escape
wait_jukebox
check "Escape ends it with exit code 0" [ $? = 0 ]

echo "$failures failed"
[ "$failures" = 0 ]
