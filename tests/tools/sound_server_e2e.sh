#!/usr/bin/env bash
# orgplay through a desktop sound server, as Linux desktops play sound: a private PulseAudio
# (its own runtime folder, a null sink), SDL's pulseaudio driver, the sink's monitor recorded
# with parec. Idle and with every core loaded (stress-ng), RUNS times each (a run that fails is
# made once more before it counts, see `measured`):
#   - a sustained sine has no gap of 32 or more exactly silent samples;
#   - a click every 50 ms step comes out 50 ± 0.5 ms apart on average, standard deviation at
#     most 1 ms; so does a click every 50 steps of 1 ms (the timer keeps a fast song's tempo).
# And the jukebox (when JUKEBOX names it and Xvfb is installed), given a song on its command line
# whose first step never comes back: that first step is the first sound heard.
# Prints the figures of every run. With TIMING "untimed" (the sanitizer builds, which run the
# program several times slower and schedule its threads unevenly) only the playing is checked,
# once and idle (loading the machine only tests timing), and the figures are printed; the plain
# build checks the timing.
# Usage:
#   sound_server_e2e.sh ORGPLAY SONGC ORG2WAV CAPTURE_CHECK SOURCE_DIR [TIMING] [RUNS] [SECONDS]
# Exits 77 (skipped) when PulseAudio, its tools or stress-ng are not installed.
set -u
absolute() { (cd "$(dirname "$1")" && echo "$PWD/$(basename "$1")"); }
orgplay=$(absolute "$1") songc=$(absolute "$2") org2wav=$(absolute "$3") check=$(absolute "$4")
source=$5 timing=${6:-timed} runs=${7:-3} seconds=${8:-6}
loads="idle loaded"
if [ "$timing" != timed ]; then loads=idle runs=${7:-1}; fi
for tool in pulseaudio parec pactl stress-ng; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/Org" "$work/run" "$work/home"
cp "$source"/data/Org/Wave100.dat "$source"/data/Org/Org/*.wav "$work/Org/"
"$songc" "$source/tests/tools/sustained_sine.score" "$work/Sine.org" >/dev/null
"$songc" "$source/bench/metronome_50ms.score" "$work/Metronome.org" >/dev/null
"$songc" "$source/bench/metronome_1ms.score" "$work/Metronome1ms.org" >/dev/null
"$songc" "$source/tests/tools/first_step.score" "$work/FirstStep.org" >/dev/null

failures=0
check() {  # check DESCRIPTION CONDITION...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# The song itself holds no silence: a gap in a capture can only come from the output.
(cd "$work" && "$org2wav" --seconds "$seconds" Sine.org offline.wav >/dev/null 2>&1)
check "the offline render of the sine has no gap" "$check" gaps "$work/offline.wav"

export XDG_RUNTIME_DIR=$work/run HOME=$work/home
# Under the sanitizers: the PulseAudio client library's own lasting allocations are not leaks of
# ours.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$source/tests/tools/pulseaudio_leaks.supp"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disallow-exit \
  -L module-native-protocol-unix -L "module-null-sink sink_name=capture" \
  --log-target=file:"$work/pulseaudio.log" >/dev/null 2>&1 &
pids+=($!)
export PULSE_SERVER=unix:$work/run/pulse/native
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "skipped: PulseAudio could not start"; exit 77; }

# play SONG CAPTURE: orgplay through the server while the sink's monitor is recorded.
play() {
  parec -d capture.monitor --format=s16le --rate=44100 --channels=2 --raw >"$2" &
  local recorder=$!
  sleep 0.3
  (cd "$work" && SDL_AUDIODRIVER=pulseaudio "$orgplay" "$1" --seconds "$seconds" \
     >"$2.out" 2>"$2.err")
  local status=$?
  sleep 0.3
  kill "$recorder"; wait "$recorder" 2>/dev/null
  return $status
}
onsets_ok() {  # the line "onsets N mean M sd S" within the limits
  awk '{ exit !($2 >= 3 && $4 >= 49.5 && $4 <= 50.5 && $6 <= 1.0) }' <<<"$1"
}

# jukebox_first_step: the jukebox under an X server of its own plays FirstStep.org given on its
# command line; the capture must begin with step 0's A4, heard for its whole 500 ms.
jukebox_first_step() {
  local display capture=$work/jukebox.raw first pitch
  mkdir -p "$work/jukebox"
  cp -r "$source/data/." "$work/jukebox/"
  Xvfb -displayfd 3 -noreset -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  display=":$(head -1 "$work/display")"
  parec -d capture.monitor --format=s16le --rate=44100 --channels=2 --raw >"$capture" &
  local recorder=$!
  sleep 0.3
  (cd "$work/jukebox" && DISPLAY=$display SDL_AUDIODRIVER=pulseaudio SDL_RENDER_DRIVER=software \
     RTLIB_INSTANCE_SUFFIX="-sound-server-$$" XDG_CONFIG_HOME="$work/config" \
     ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" exec "$JUKEBOX" "$work/FirstStep.org" \
     >"$work/jukebox.out" 2>"$work/jukebox.err") &
  local jukebox_pid=$!
  sleep 6
  kill "$jukebox_pid"; wait "$jukebox_pid" 2>/dev/null
  kill "$recorder"; wait "$recorder" 2>/dev/null
  first=$("$check" first "$capture") || {
    echo "  the jukebox was not heard; it said:"; cat "$work/jukebox.err"; return 1
  }
  pitch=$("$check" pitch "$capture" $((first + 4 * 2205)) $((first + 4 * 19845)))
  echo "  jukebox: first sound at byte $first, pitch of its first 0.45 s $pitch Hz"
  awk "BEGIN { exit !($pitch > 430 && $pitch < 450) }"
}
if [ -n "${JUKEBOX:-}" ] && command -v Xvfb >/dev/null; then
  check "the jukebox plays a song given on its command line from its first step" jukebox_first_step
fi

# What a timed run checks, for its line ("" untimed: only the playing is checked).
limits() { if [ "$timing" = timed ]; then echo "$1"; fi; }

# One run of each measurement: plays, prints its figures, and (timed) checks them.
sine_run() {
  play Sine.org "$work/sine.raw" || return 1
  local gapless=0
  result=$("$check" gaps "$work/sine.raw") || gapless=1
  echo "  $load run $run sine: $result; $(cat "$work/sine.raw.out")"
  [ "$timing" != timed ] || [ "$gapless" = 0 ]
}
clicks_run() {  # clicks_run SONG CAPTURE LABEL
  play "$1" "$2" || return 1
  result=$("$check" onsets "$2" 50)
  echo "  $load run $run $3: $result; $(cat "$2.out")"
  [ "$timing" != timed ] || onsets_ok "$result"
}
# A run that fails is made once more before it counts: stress-ng on every core at the player's
# own priority starves it (or the sound server) for a moment now and then (here about one loaded
# run in twenty: a short gap, or a stray or late click), and the virtual machines here stall a
# process for 100 to 700 ms now and then even idle (seen in four of six runs of this test on one
# machine, one or two idle runs in eighteen each time, the clicks after it catching up), which no
# player can rule out, while a fault of ours (a tempo that slips, a tick lost, a gap of the
# mixer's own) shows again. The figures of both tries are printed.
measured() {  # measured DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok: $1"; return; fi
  echo "  (failed $load: once more)"
  check "$@"
}

for load in $loads; do
  if [ "$load" = loaded ]; then
    stress-ng --cpu "$(nproc)" --timeout 600 >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
  fi
  for run in $(seq "$runs"); do
    measured "$load run $run: orgplay plays the sine through the server$(limits ", no gap")" \
      sine_run
    measured "$load run $run: orgplay plays the clicks$(limits ", 50 ± 0.5 ms apart, sd ≤ 1 ms")" \
      clicks_run Metronome.org "$work/clicks.raw" clicks
    measured "$load run $run: orgplay plays the 1 ms steps$(limits ", clicks 50 ± 0.5 ms apart")" \
      clicks_run Metronome1ms.org "$work/fast.raw" "clicks of 1 ms steps"
  done
done

echo "$failures failed"
[ "$failures" = 0 ]
