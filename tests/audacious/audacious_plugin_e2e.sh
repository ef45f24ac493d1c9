#!/usr/bin/env bash
# The Audacious input plugin with the real player: Audacious copied into a scratch prefix (it
# finds its plugins relative to its own place), our plugin beside its own, a scratch
# configuration whose output is its filewriter (a WAV file), a private session bus, and audtool
# to drive it: the plugin is registered; a song's length and title are known; it plays to the
# end and the WAV holds exactly liborgsynth's render of two passes; a seek lands exactly; the
# loop setting (passes, or endless until stopped) is honoured; a damaged song is refused and
# the player goes on with the next item; a file that is not a song is not claimed.
# Usage: audacious_plugin_e2e.sh PLUGIN ORG2WAV SOURCE_DIR
# Exits 77 (skipped) when Audacious, audtool or dbus-daemon is missing.
set -u
plugin=$(realpath "$1") org2wav=$2 source=$3
for tool in audacious audtool dbus-daemon pkg-config; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
system_plugins=$(pkg-config --variable=plugin_dir audacious 2>/dev/null)
[ -d "$system_plugins" ] || { echo "skipped: no Audacious plugin folder"; exit 77; }
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
check() {  # check DESCRIPTION CONDITION...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# Audacious in a prefix of its own: its binary copied (it takes its folders from its own place),
# its data and every plugin of the system's linked in, ours added to the input plugins.
prefix=$work/prefix/usr
relative=${system_plugins#/usr/}
mkdir -p "$prefix/bin" "$prefix/share" "$prefix/$relative"
cp "$(command -v audacious)" "$prefix/bin/audacious"
ln -s /usr/share/audacious "$prefix/share/audacious"
for kind in "$system_plugins"/*/; do
  kind=$(basename "$kind")
  mkdir -p "$prefix/$relative/$kind"
  for file in "$system_plugins/$kind"/*; do ln -s "$file" "$prefix/$relative/$kind/"; done
done
cp "$plugin" "$prefix/$relative/Input/orgsynth.so"

export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache HOME=$work
source "$(dirname "$0")/../test_support/session_bus.sh"
start_session_bus

start_audacious() {
  "$prefix/bin/audacious" --headless >>"$work/audacious.log" 2>&1 &
  audacious_pid=$!
  pids+=($audacious_pid)
  for _ in $(seq 100); do
    # Each run starts from an empty playlist (Audacious keeps the last one otherwise).
    audtool version >/dev/null 2>&1 && { audtool playlist-clear; return 0; }
    sleep 0.1
  done
  echo "FAILED: Audacious did not come up"; cat "$work/audacious.log"; exit 1
}
stop_audacious() {
  audtool shutdown >/dev/null 2>&1
  for _ in $(seq 100); do kill -0 "$audacious_pid" 2>/dev/null || return 0; sleep 0.1; done
  kill "$audacious_pid"
}
# Waits up to 60 s for playback to stop by itself.
wait_stopped() {
  for _ in $(seq 600); do audtool playback-stopped && return 0; sleep 0.1; done
  return 1
}

# A first start registers the plugins; then the output becomes the file writer.
start_audacious
stop_audacious
registry=$XDG_CONFIG_HOME/audacious/plugin-registry
check "Audacious registers the plugin" grep -q "^input .*/Input/orgsynth.so$" "$registry"
awk '/^[a-z]+ \// { kind = $1; path = $2 }
     /^enabled / && kind == "output" { $0 = "enabled " (path ~ /filewriter\.so$/ ? 1 : 0) }
     { print }' "$registry" >"$work/registry" && mv "$work/registry" "$registry"
# The file writer's settings, and ours: PASSES, or ENDLESS (TRUE or FALSE).
configure() {
  cat >"$XDG_CONFIG_HOME/audacious/config" <<EOF
[audacious]
output_bit_depth=16

[filewriter]
fileext=0
file_path=file://$work/out
save_original=FALSE
filenamefromtags=FALSE
use_suffix=FALSE

[orgsynth]
passes=$1
endless=$2
EOF
  rm -rf "$work/out"
  mkdir -p "$work/out"
}
# The 16-bit frames the file writer wrote for the song named $1 (without the WAV header).
written() { tail -c +45 "$work/out/$1.wav"; }

song=$work/Sakura.org
cp "$source/data/Org/Sakura.org" "$song"
bank="--bank $source/data/Org/Wave100.dat --drums $source/data/Org/Org"
"$org2wav" -q $bank "$song" "$work/two.wav"
"$org2wav" -q $bank --loops 1 "$song" "$work/one.wav"
tail -c +45 "$work/two.wav" >"$work/two.raw"
tail -c +45 "$work/one.wav" >"$work/one.raw"
frames=$(($(stat -c %s "$work/two.raw") / 4))

# --- two passes (the default): the length, the title, and exactly the render
configure 2 FALSE
start_audacious
audtool playlist-addurl "file://$song"
sleep 0.5
check "the title is the file's name" [ "$(audtool playlist-song 1)" = Sakura ]
length=$(audtool playlist-song-length-frames 1)
check "the length is two passes ($length ms)" [ "$length" = $((frames * 1000 / 44100)) ]
audtool playback-play
check "it plays to the end and stops" wait_stopped
check "what Audacious played is exactly liborgsynth's render of two passes" \
  cmp -s "$work/two.raw" <(written Sakura)
stop_audacious

# --- one pass; a damaged song and a file that is not a song before it: refused, and the player
# goes on to the song
configure 1 FALSE
head -c 200 "$song" >"$work/Damaged.org"
cp "$source/README.md" "$work/NotASong.org"
start_audacious
audtool playlist-addurl "file://$work/Damaged.org"
audtool playlist-addurl "file://$work/NotASong.org"
audtool playlist-addurl "file://$song"
audtool playback-play
for _ in $(seq 100); do [ -s "$work/out/Sakura.wav" ] && break; sleep 0.1; done
check "past the damaged song and the file that is not one, it plays the next" wait_stopped
check "the one-pass setting: exactly the render of one pass" \
  cmp -s "$work/one.raw" <(written Sakura)
check "nothing was written for the damaged song or the other file" \
  [ ! -s "$work/out/Damaged.wav" -a ! -s "$work/out/NotASong.wav" ]
check "and the player went on without a crash" kill -0 "$audacious_pid"
stop_audacious

# --- endless: no length is told, and it plays on until stopped
configure 2 TRUE
start_audacious
audtool playlist-addurl "file://$song"
sleep 0.3
check "endless: no length is told" [ "$(audtool playlist-song-length-frames 1)" -le 0 ]
audtool playback-play
for _ in $(seq 100); do
  [ "$(stat -c %s "$work/out/Sakura.wav" 2>/dev/null || echo 0)" -gt $((4 * frames)) ] && break
  sleep 0.05
done
audtool playback-stop
stop_audacious
check "it played on past two passes until stopped" \
  [ "$(stat -c %s "$work/out/Sakura.wav")" -gt $((4 * frames)) ]

# --- a seek back lands exactly (in a song of fifty passes: Audacious seeks where it knows a length)
configure 50 FALSE
start_audacious
audtool playlist-addurl "file://$song"
sleep 0.3
audtool playback-play
# The file writer takes the sound as fast as it comes: once a minute of it is written, back.
for _ in $(seq 100); do
  [ "$(stat -c %s "$work/out/Sakura.wav" 2>/dev/null || echo 0)" -gt $((60 * 44100 * 4)) ] && break
  sleep 0.05
done
audtool playback-seek 10
sleep 0.2
audtool playback-stop
stop_audacious
written Sakura >"$work/endless.raw"
have=$(($(stat -c %s "$work/endless.raw") / 4))
"$org2wav" -q $bank --seconds $((have / 44100 + 30)) "$song" "$work/long.wav"
tail -c +45 "$work/long.wav" >"$work/long.raw"
seam=$(cmp "$work/endless.raw" "$work/long.raw" 2>/dev/null | sed -n 's/.*byte \([0-9]*\).*/\1/p')
seam_frame=$(((${seam:-1} - 1) / 4))
after=$((have - seam_frame))
check "before the seek: the render from the start (to frame $seam_frame)" [ "$seam_frame" -gt 441000 ]
check "after it: exactly the render from 10 s on ($after frames)" \
  cmp -s <(tail -c +$((seam_frame * 4 + 1)) "$work/endless.raw") \
    <(tail -c +$((441000 * 4 + 1)) "$work/long.raw" | head -c $((after * 4)))

echo "$failures failed"
[ "$failures" = 0 ]
