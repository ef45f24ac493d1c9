# Shared by the jukebox's end-to-end scripts: a work folder, an X server of our own (Xvfb), and
# helpers to start the jukebox, press keys, take screenshots and compare regions of them.
# The sourcing script sets `jukebox`; afterwards `work` is an empty folder for its data.
# Exits 77 (skipped) when no X server can run here.
for tool in Xvfb xdotool import compare convert; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

display=":$((100 + $$ % 800))"
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getdisplaygeometry >/dev/null 2>&1 || { echo "skipped: Xvfb could not start"; exit 77; }

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

# start_jukebox N: runs the jukebox in $work, its sound captured to capture<N>.raw and its
# standard error to stderr<N>.txt, and waits for its window (`window`).
start_jukebox() {
  # Drawn in software, window updates included: a GL stack's own allocations and threads would
  # trouble the sanitizer builds' leak and race checkers, which is not what this test is about.
  (cd "$work" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/capture$1.raw" \
     SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 \
     ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" exec "$jukebox" 2>"$work/stderr$1.txt") &
  jukebox_pid=$!
  pids+=($jukebox_pid)
  # SDL may re-create its window when the renderer starts: wait until the id holds still.
  window=""
  local previous=""
  for _ in $(seq 100); do
    if ! running; then
      wait "$jukebox_pid"
      echo "FAILED: the jukebox ended (exit code $?) before showing a window"
      exit 1
    fi
    window=$(xdotool search --onlyvisible --class RtLib 2>/dev/null | head -1)
    [ -n "$window" ] && [ "$window" = "$previous" ] && break
    previous=$window
    sleep 0.3
  done
  [ -n "$window" ] || { echo "FAILED: no RtLib window"; exit 1; }
  sleep 0.3
  xdotool windowfocus "$window" 2>/dev/null
  sleep 0.3
}
