# Shared by the end-to-end scripts that need a session bus of their own.
# start_session_bus: a private session bus of our own (dbus-daemon) for the jukebox's MPRIS
# service, and helpers to reach it as the desktop's media controls do: `call METHOD [ARGS...]`
# on the Player interface, `get PROPERTY` (its value as dbus-send prints it). Exits 77 (skipped)
# when the bus or its tools cannot be had. The sourcing script sets `work` and `pids` (what to
# end at exit).
start_session_bus() {
  local tool
  for tool in dbus-daemon dbus-send dbus-monitor; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
  done
  dbus-daemon --session --nofork --print-address=3 --address="unix:path=$work/bus" \
    3>"$work/bus_address" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -s "$work/bus_address" ] && break; sleep 0.1; done
  [ -s "$work/bus_address" ] || { echo "skipped: dbus-daemon could not start"; exit 77; }
  export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/bus_address")
  name=org.mpris.MediaPlayer2.OrvalindeJukebox
  call() {  # call METHOD [ARGUMENTS...] on the Player interface
    local method=$1; shift
    dbus-send --session --print-reply --dest=$name /org/mpris/MediaPlayer2 \
      "org.mpris.MediaPlayer2.Player.$method" "$@" >/dev/null
  }
  get() {  # get PROPERTY: its value as dbus-send prints it
    dbus-send --session --print-reply --dest=$name /org/mpris/MediaPlayer2 \
      org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player "string:$1" |
      tail -n +2
  }
}
