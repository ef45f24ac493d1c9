#!/usr/bin/env bash
# Songs of one's own, end to end under Xvfb, as a user meets them: a folder whose name is not
# Japanese Windows text plays, and the first song given plays at once; a second start with a song
# hands it to the running jukebox (which plays it and comes forward) and ends; a folder that only
# holds an Org folder of songs is not taken for the game's data; a song of one's own in a game
# folder whose kit is in Org\ plays its drums from there with no message box, a missing drum
# said once; SIGTERM ends the jukebox promptly, also while a message box waits; and when the X
# server goes away the jukebox ends cleanly with exit status 69.
# Usage: jukebox_user_songs_e2e.sh JUKEBOX FIND_WINDOW CAPTURE_CHECK SONGC SOURCE_DIR
# Exits 77 (skipped) when no X server can run here.
set -u
jukebox=$1 find_window=$2 capture_check=$3 songc=$4 source=$5
source "$(dirname "$0")/e2e_common.sh"

mine="$work/mine/Mes chansons é"
mkdir -p "$mine" "$work/other" "$work/music/Org" "$work/kit_game/Org" "$work/box_game/Org"
"$songc" "$source/tests/tools/sustained_sine.score" "$work/Sine.org" >/dev/null
mv "$work/Sine.org" "$mine/Joie à toi.org"
sed 's/A4\/64/A5\/64/; s/Sine.org/High.org/' "$source/tests/tools/sustained_sine.score" \
  >"$work/high.score"
"$songc" "$work/high.score" "$work/other/High.org" >/dev/null
cat >"$work/drums.score" <<'EOF'
title DRUMS
file Drums.org
version 2
wait 100
loop 0 16
track 8 wave 0
k40 x/4 x/4 x/4 x/4
track 9 wave 2
k40 x/8 x/8
EOF
"$songc" "$work/drums.score" "$work/other/Drums.org" >/dev/null
cp "$source/data/Org/"*.org "$work/music/Org/"
# A game folder laid out with its songs at the top and their kit in Org\ (not Org\Org\).
cp "$source/data/Org/Wave100.dat" "$source/data/Org/Org/"*.wav "$work/kit_game/Org/"
rm "$work/kit_game/Org/Snare01.wav"
cp "$source/data/Org/Joy.org" "$work/kit_game/"
printf '0\t60\tJoy.org\tJOY\n' >"$work/kit_game/Org/music.txt"
# A game folder whose first song is missing: playing it raises the game's message box.
cp -r "$source/data/." "$work/box_game/"
rm "$work/box_game/Org/Joy.org"
capture_of() { echo "$work/capture$1.raw"; }
sounds() {  # sounds CAPTURE: the last half second of the capture is not silent
  capture=$1
  ! "$capture_check" silent "$capture" $(($(position) - second / 2)) "$(position)"
}

# --- a folder whose name is not CP932 text: its songs play, the first at once
start_jukebox 1 "$mine"
sleep 1.2
check "the song in 'Mes chansons é' plays at once, without a key" sounds "$(capture_of 1)"
capture=$(capture_of 1)
pitch=$("$capture_check" pitch "$capture" $(($(position) - second / 2)) "$(position)")
check "it is the song given (440 Hz: $pitch)" awk "BEGIN { exit !($pitch > 435 && $pitch < 445) }"
check "and nothing was said about it" bash -c "! grep -q -e 'cannot' -e 'left out' '$work/stderr1.txt'"
shot first

# --- a second start with a song: the running jukebox plays it
started=$(date +%s%N)
(cd "$work" && "$jukebox" "$work/other/High.org" >"$work/second.txt" 2>&1)
second_status=$?
took=$((($(date +%s%N) - started) / 1000000))
check "a second start with a song ends with 0 ($took ms)" [ "$second_status" = 0 -a "$took" -lt 5000 ]
sleep 1.2
pitch=$("$capture_check" pitch "$capture" $(($(position) - second / 2)) "$(position)")
check "and the running jukebox plays that song (880 Hz: $pitch)" \
  awk "BEGIN { exit !($pitch > 870 && $pitch < 890) }"
shot handed
check "showing its title" differ_in first handed 160x8+80+72
check "it is still the only jukebox window" [ "$(jukebox_windows | tr '\n' ' ')" = "$window " ]

# --- SIGTERM ends it promptly and cleanly
kill -TERM "$jukebox_pid"
started=$(date +%s%N)
wait_jukebox
status=$?
took=$((($(date +%s%N) - started) / 1000000))
check "SIGTERM ends it promptly ($took ms) with exit code 0" [ "$status" = 0 -a "$took" -lt 3000 ]

# --- a folder that holds an Org folder of songs is not the game's data folder
saved_work=$work
work=$saved_work/music
start_jukebox 2 Org
sleep 1.2
check "'jukebox Org' in a folder of songs plays them with the installed data" \
  sounds "$(capture_of 2)"
check "without a word about a missing bank or a full playlist" \
  bash -c "! grep -q -e 'bank' -e 'full' '$work/stderr2.txt'"
press Escape
wait_jukebox
work=$saved_work

# --- a song of one's own in a game folder whose kit is in Org\: no message box
start_jukebox 3 --data "$work/kit_game" "$work/other/Drums.org"
boxes_answered=0
answer_boxes "Error (Load)"
check "no message box about drums" [ "$boxes_answered" = 0 ]
check "the drums play from the game's kit" sounds "$(capture_of 3)"
check "the missing drum is one line on standard error" \
  [ "$(grep -c 'drum file not found: .*kit_game/Org/Snare01.wav' "$work/stderr3.txt")" = 1 ]
check "and nothing else is said about drums" \
  [ "$(grep -c -e 'Error (Load)' -e 'ファイルハンドル' "$work/stderr3.txt")" = 0 ]
press Escape
wait_jukebox

# --- SIGTERM while the game's message box waits for its OK
start_jukebox 4 --data "$work/box_game"
press space
for _ in $(seq 30); do
  [ -n "$("$find_window" "Error (Load)" 2>/dev/null | head -1)" ] && break
  sleep 0.1
done
children=$(pgrep -P "$jukebox_pid" | tr '\n' ' ')  # SDL shows a box from a child process
kill -TERM "$jukebox_pid"
started=$(date +%s%N)
wait_jukebox
status=$?
took=$((($(date +%s%N) - started) / 1000000))
check "SIGTERM ends it promptly even while a box is up ($took ms, exit $status)" \
  [ "$took" -lt 4500 -a "$status" != 124 ]
sleep 0.3
left=""
for child in $children; do kill -0 "$child" 2>/dev/null && left="$left $child"; done
check "and nothing of it is left: no box, no process of it (children: ${children:-none}; left:${left:- none})" \
  bash -c "[ -z \"\$('$find_window' 'Error (Load)' 2>/dev/null)\" ] && [ -z '$left' ]"

# --- the X server goes away under a playing jukebox
start_jukebox 5 "$mine"
sleep 1
kill -KILL "${pids[0]}"  # our Xvfb, gone at once as a crashed server or a lost link
started=$(date +%s%N)
wait_jukebox
status=$?
took=$((($(date +%s%N) - started) / 1000000))
check "when the display goes away it ends with exit status 69 ($status, $took ms)" \
  [ "$status" = 69 ]
check "saying so on standard error" grep -q "the display went away" "$work/stderr5.txt"
check "without a crash or a sanitizer's report" bash -c \
  "! grep -q -e 'double free' -e 'Sanitizer' -e 'runtime error' -e 'Aborted' '$work/stderr5.txt'"

echo "$failures failed"
[ "$failures" = 0 ]
