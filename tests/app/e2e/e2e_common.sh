# Shared by the jukebox's end-to-end scripts: a work folder, an X server of our own (Xvfb, on a
# display number it picks itself), and helpers to start the jukebox, press keys, answer its
# message boxes, take screenshots and compare regions of them.
# The sourcing script sets `jukebox`; afterwards `work` is an empty folder for its data.
# Exits 77 (skipped) when no X server can run here.
for tool in Xvfb xdotool import compare convert; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  # KEEP_E2E_WORK=1 keeps the folder (its standard error files) for a look after a failure.
  if [ -n "${KEEP_E2E_WORK:-}" ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# The server writes the display number it chose to descriptor 3 once it is ready for clients.
# -noreset: by default the server resets whenever its last client leaves (a jukebox that ended,
# a probe of ours), and refuses the connections that come in while it does, so a jukebox started
# just then found no display.
Xvfb -displayfd 3 -noreset -screen 0 "${xvfb_screen:-800x600x24}" -nolisten tcp 3>"$work/display" \
  >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "skipped: Xvfb could not start"; exit 77; }
export DISPLAY=":$(head -1 "$work/display")"
xdotool getdisplaygeometry >/dev/null 2>&1 || { echo "skipped: Xvfb could not start"; exit 77; }
# This test's jukeboxes never take another test's for a running copy, nor the other way round,
# and keep their settings in the test's own folder.
export RTLIB_INSTANCE_SUFFIX="-e2e-$$"
export XDG_CONFIG_HOME="$work/config"

failures=0
check() {  # check DESCRIPTION CONDITION...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
press() {  # held for a few frames: the keyboard is sampled once per 35 ms frame
  xdotool keydown "$1"; sleep 0.12; xdotool keyup "$1"; sleep 0.15
}
shot() { import -window "$window" "$work/$1.png"; }
# Differing pixels between two pictures within a rectangle WxH+X+Y.
diff_in() { compare -metric AE -extract "$3" "$work/$1.png" "$work/$2.png" null: 2>&1 | cut -d' ' -f1; }
same_in() { [ "$(diff_in "$@")" = 0 ]; }
differ_in() { [ "$(diff_in "$@")" != 0 ]; }
# Waits up to 10 s for the jukebox to end; its exit code, or 124 when it did not end.
wait_jukebox() {
  for _ in $(seq 100); do
    kill -0 "$jukebox_pid" 2>/dev/null || { wait "$jukebox_pid"; return $?; }
    sleep 0.1
  done
  kill "$jukebox_pid"
  return 124
}
running() { kill -0 "$jukebox_pid" 2>/dev/null; }

# The sound a jukebox plays is captured to the file the sourcing script names in `capture`
# (16-bit stereo at 44100 Hz); its size is the position in the stream, in bytes.
second=$((44100 * 4))
position() { stat -c %s "$capture"; }
# check_level_drop DESCRIPTION DB TOLERANCE COMMAND...: runs COMMAND (a key, a bus call) and
# checks that the captured level over a second from half a second after it lies DB ± TOLERANCE
# below the level over the second before it (`capture_check` is our capture analyser).
check_level_drop() {
  local what=$1 db=$2 tolerance=$3 end before from after
  shift 3
  end=$(position)
  before=$("$capture_check" level "$capture" $((end - second)) "$end")
  "$@"
  sleep 0.5
  from=$(position)
  sleep 1
  after=$("$capture_check" level "$capture" "$from" $((from + second)))
  check "$what ($before to $after dB)" \
    awk "BEGIN { d = $before - $after; exit !(d > $db - $tolerance && d < $db + $tolerance) }"
}
# The visible windows of the jukebox's class.
jukebox_windows() { xdotool search --onlyvisible --class RtLib 2>/dev/null; }

# answer_boxes CAPTION (the sourcing script sets `find_window`, our window finder): the
# jukebox's message boxes are modal, as a user meets them. Where a box
# opens (an X server with fonts), each box with that caption is answered with Return as a user
# would, until none comes for a second; the number answered goes to `boxes_answered`. Where no
# box can open, the notices are on standard error only and there is nothing to answer.
boxes_answered=0
answer_boxes() {
  local quiet=0 box
  while [ "$quiet" -lt 10 ]; do
    box=$("$find_window" "$1" 2>/dev/null | head -1)
    if [ -z "$box" ]; then
      quiet=$((quiet + 1)); sleep 0.1; continue
    fi
    quiet=0
    xdotool windowfocus "$box" 2>/dev/null; sleep 0.1
    xdotool key Return; sleep 0.3
    boxes_answered=$((boxes_answered + 1))
  done
  # The jukebox's own window gets the keyboard back.
  xdotool windowfocus "$window" 2>/dev/null; sleep 0.2
}

# start_jukebox N [default] [ARGUMENTS...]: runs the jukebox in $work, its sound captured to capture<N>.raw and
# its standard error to stderr<N>.txt, and waits for its window (`window`), the first one of its
# class that shows: the same window must stay until the end (nothing may replace it).
# Drawn in software, window updates included, unless "default" asks for the renderer SDL picks
# by itself (GL where the server has it; JUKEBOX_E2E_SOFTWARE_ONLY set keeps to software): a GL
# stack's own allocations and threads would trouble the sanitizer builds' leak and race checkers,
# which is not what most checks are about.
start_jukebox() {
  local run=$1 renderer=(SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0)
  shift
  if [ "${1:-}" = default ]; then
    [ -z "${JUKEBOX_E2E_SOFTWARE_ONLY:-}" ] && renderer=()
    shift
  fi
  # exec: the process started is the jukebox itself, so that signals reach it.
  (cd "$work" && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/capture$run.raw" \
     "${renderer[@]}" ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" \
     "$jukebox" "$@" 2>"$work/stderr$run.txt") &
  jukebox_pid=$!
  pids+=($jukebox_pid)
  window=""
  for _ in $(seq 200); do
    if ! running; then
      wait "$jukebox_pid"
      echo "FAILED: the jukebox ended (exit code $?) before showing a window"
      cat "$work/stderr$run.txt"
      exit 1
    fi
    window=$(jukebox_windows | head -1)
    [ -n "$window" ] && break
    sleep 0.05
  done
  if [ -z "$window" ]; then
    echo "FAILED: no RtLib window; the windows there are:"
    for w in $(xdotool search --name '' 2>/dev/null); do
      echo "  $w $(xdotool getwindowname "$w" 2>/dev/null) [$(xdotool getwindowclassname "$w" 2>/dev/null)]"
    done
    cat "$work/stderr$run.txt"
    exit 1
  fi
  sleep 0.6
  check "the window found at the start is still the jukebox's only window" \
    [ "$(jukebox_windows | tr '\n' ' ')" = "$window " ]
  xdotool windowfocus "$window" 2>/dev/null
  sleep 0.3
}

source "$(dirname "${BASH_SOURCE[0]}")/../../test_support/session_bus.sh"
