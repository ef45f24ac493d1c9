#!/usr/bin/env bash
# Moving through a song and watching it, end to end: the jukebox under Xvfb on a private session
# bus, playing a staircase of sine notes (one a second, so where it plays is heard in its pitch).
# MPRIS says it can seek; SetPosition and Seek land the sound where an offline render from that
# point has it (the pitch of the capture against org2wav --start) and announce Seeked; Position
# is the song's own (it stands while paused, a seek while paused stays paused, a new song starts
# it again); the seek keys (period, comma, Home) move it; V shows the visualiser and back; its
# number keys mute a track (the sound goes) and 0 gives it back.
# Usage: jukebox_seek_visualiser_e2e.sh JUKEBOX FIND_WINDOW CAPTURE_CHECK SONGC SOURCE_DIR ORG2WAV
# Exits 77 (skipped) when no X server or no dbus-daemon can run here.
set -u
jukebox=$1 find_window=$2 capture_check=$3 songc=$4 source=$5 org2wav=$6
source "$(dirname "$0")/e2e_common.sh"
cp -r "$source/data/." "$work/"
mkdir -p "$work/mine"
"$songc" "$source/tests/tools/stairs.score" "$work/mine/Stairs.org" >/dev/null
cp "$work/mine/Stairs.org" "$work/mine/Second.org"
start_session_bus
track=/org/orvalinde/jukebox/track/0
position_us() { get Position | sed -n 's/.*int64 \(-\?[0-9]*\).*/\1/p'; }
status() { get PlaybackStatus | sed -n 's/.*string "\(.*\)"/\1/p'; }
near() { awk "BEGIN { d = $1 - $2; exit !(d >= -$3 && d <= $3) }"; }  # near A B TOLERANCE
# The pitch heard over the last quarter second of the capture, and the pitch org2wav renders
# over a quarter second from SECONDS into the song.
heard_pitch() { local end; end=$(position); "$capture_check" pitch "$capture" $((end - second / 4)) "$end"; }
rendered_pitch() {
  "$org2wav" -q --start "$1" --seconds "$(awk "BEGIN { print $1 + 1 }")" \
    "$work/mine/Stairs.org" "$work/ref.wav"
  "$capture_check" pitch "$work/ref.wav" 44 $((44 + second / 4))
}
same_pitch() { awk "BEGIN { r = $1 / $2; exit !(r > 0.98 && r < 1.02) }"; }

start_jukebox 1 "$work/mine/Stairs.org" "$work/mine/Second.org"
capture=$work/capture1.raw
dbus-monitor --session "type='signal',interface='org.mpris.MediaPlayer2.Player',member='Seeked'" \
  >"$work/seeked.txt" 2>/dev/null &
pids+=($!)
sleep 1
check "the first song given plays" [ "$(status)" = Playing ]
check "MPRIS may seek (CanSeek)" bash -c "$(declare -f get); name=$name; get CanSeek | grep -q 'boolean true'"

# --- SetPosition: the sound goes where the song is 7.3 s in
call SetPosition "objpath:$track" int64:7300000
sleep 0.5
now=$(position_us)
check "Position after SetPosition 7.3 s is the song's own ($now µs)" near "$now" 7800000 300000
heard=$(heard_pitch)
rendered=$(rendered_pitch 7.5)
check "the sound is where an offline render from there is ($heard Hz, rendered $rendered Hz)" \
  same_pitch "$heard" "$rendered"
check "and Seeked was announced" grep -q "member=Seeked" "$work/seeked.txt"
before=$(position_us)
call SetPosition "objpath:/org/orvalinde/jukebox/track/9" int64:1000000
sleep 0.3
check "SetPosition of another track is ignored" near "$(position_us)" $((before + 300000)) 200000

# --- Seek by an offset: from 9.3 s (inside the note of 9.1 to 10.1 s) to 5.3 s (inside the one of
# 5.1 to 6.1 s), the sound listened to half a second on, well inside that note whatever the
# output's latency up to 0.45 s.
call SetPosition "objpath:$track" int64:9300000
before=$(position_us)
call Seek int64:-4000000
after=$(position_us)
check "Seek -4 s goes back four seconds ($before to $after µs)" near "$after" $((before - 4000000)) 200000
sleep 0.5
heard=$(heard_pitch)
rendered=$(rendered_pitch 5.5)
check "and the sound with it ($heard Hz, rendered $rendered Hz)" same_pitch "$heard" "$rendered"

# --- pause: the position stands; a seek while paused stays paused and silent
call Pause
sleep 0.3
held=$(position_us)
sleep 0.6
check "paused, Position stands still" [ "$(position_us)" = "$held" ]
call SetPosition "objpath:$track" int64:3300000
sleep 0.3
check "a seek while paused lands exactly (Position 3.3 s)" [ "$(position_us)" = 3300000 ]
check "and stays paused" [ "$(status)" = Paused ]
check "and silent" "$capture_check" silent "$capture" $(($(position) - second / 4)) "$(position)"
call Play
sleep 0.5
heard=$(heard_pitch)
rendered=$(rendered_pitch 3.55)
check "Play goes on from there ($heard Hz, rendered $rendered Hz)" same_pitch "$heard" "$rendered"

# --- the seek keys
before=$(position_us)
press period
sleep 0.2
check "period jumps 5 s forward" near "$(position_us)" $((before + 5500000)) 400000
press comma
sleep 0.2
check "comma jumps 5 s back" near "$(position_us)" $((before + 1000000)) 500000
press Home
sleep 0.2
check "Home goes to where the loop starts (its first step, 0.1 s in)" \
  near "$(position_us)" 400000 300000
check "each jump was announced" [ "$(grep -c 'member=Seeked' "$work/seeked.txt")" = 7 ]

# --- a new song starts the position again
call SetPosition "objpath:$track" int64:9000000
call Next
sleep 0.3
check "Next: the new song's position starts again" near "$(position_us)" 300000 300000

# --- the visualiser
shot game
press v
sleep 0.4
shot visualiser
check "V shows the visualiser" differ_in game visualiser 320x240+0+0
[ -n "${VISUALISER_SHOT:-}" ] && cp "$work/visualiser.png" "$VISUALISER_SHOT"
press 1
sleep 0.5
check "1 mutes the melody track that plays: silence" \
  "$capture_check" silent "$capture" $(($(position) - second / 4)) "$(position)"
shot muted
check "and its scope shows it muted" differ_in visualiser muted 40x50+0+140
press 0
sleep 0.5
check "0 lets it be heard again" \
  bash -c "! '$capture_check' silent '$capture' $(($(position) - second / 4)) $(position)"
press 1
sleep 0.2
press v
sleep 0.5
shot back
check "V again shows the game's screen" same_in game back 320x40+0+0
check "leaving the visualiser lets every track be heard" \
  bash -c "! '$capture_check' silent '$capture' $(($(position) - second / 4)) $(position)"

press Escape
wait_jukebox
check "Escape ends it with exit code 0" [ $? = 0 ]
echo "$failures failed"
[ "$failures" = 0 ]
