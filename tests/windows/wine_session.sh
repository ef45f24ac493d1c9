# The Windows stage's Wine (sourced by run.sh): a private prefix inside the build folder, booted
# once with Mono and Gecko declined (WINEDLLOVERRIDES), so that no install dialog appears, on an
# X server of its own (Xvfb, on a display it picks), which the jukebox's test uses too. Ended
# with every process it started.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
wine_boot_pid=""
wine_xvfb_pid=""

# wine_session_begin BUILD_DIR: starts Xvfb and the prefix's first boot (which takes a while:
# it is waited for by wine_session_wait_for_boot).
wine_session_begin() {
  export WINEPREFIX=$1/wineprefix
  local display_file=$1/xvfb-display
  rm -f "$display_file"
  Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" \
    >/dev/null 2>&1 &
  wine_xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  [ -s "$display_file" ] || { echo "wine_session: Xvfb could not start" >&2; return 1; }
  export DISPLAY=":$(head -1 "$display_file")"
  (wineboot --init && wineserver -w) >"$1/wineboot.log" 2>&1 &
  wine_boot_pid=$!
}

wine_session_wait_for_boot() {
  [ -n "$wine_boot_pid" ] || return 0
  local started=$SECONDS
  wait "$wine_boot_pid" || { cat "$WINEPREFIX/../wineboot.log"; return 1; }
  wine_boot_pid=""
  echo "(Wine's first boot ended $((SECONDS - started)) s after the build)"
  # Kept running between the tests' programs: each then starts in a fraction of a second. It
  # and Wine's own services (services.exe, rpcss, ...), which start with the first program and
  # stay while the server does, hold the standard output and error they were started with:
  # started here, with theirs away, so that no pipe stays open behind a program (ctest's test
  # listing would wait on it until its time-out, and a log reader until the stage ends).
  wine_session_keep_server || return 1
  wineboot </dev/null >/dev/null 2>&1
}

# `wineserver -p` makes a server that stays, but only when it is the one that starts: while
# another still runs (one started by a program, which ends a moment after its last program
# does), it exits with 2 and changes nothing. The tests' programs would then each find that
# server ending or gone, and now and then one dies at its start ("recvmsg: Connection reset by
# peer"). So: wait for any such server to end (end it, if it will not) and start ours, until ours
# is the one that starts.
wine_session_keep_server() {
  local _
  for _ in $(seq 20); do
    timeout 30 wineserver -w </dev/null >/dev/null 2>&1 ||
      wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -p </dev/null >/dev/null 2>&1 && return 0
  done
  echo "wine_session: no lasting wineserver could be started" >&2
  return 1
}

# Run from the caller's EXIT trap under `set -e`: no command here may fail (a wineserver that
# already ended, a boot that already ended), or the trap would end before its report.
wine_session_end() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k 2>/dev/null || true; fi
  if [ -n "$wine_boot_pid" ]; then kill "$wine_boot_pid" 2>/dev/null || true; fi
  if [ -n "$wine_xvfb_pid" ]; then kill "$wine_xvfb_pid" 2>/dev/null || true; fi
  wine_xvfb_pid="" wine_boot_pid=""
  return 0
}
