#!/usr/bin/env bash
# The SDL2 examples as they run in a game, their output captured by SDL's disk audio driver (the
# very stream SDL would hand a sound card, written to a file; no delay between blocks, so seventy
# seconds take a few): sdl_player through an audio callback, sdl_mixer_player through
# SDL2_mixer's Mix_HookMusic with its sound effects. Each must equal liborgsynth's own render
# frame for frame over the intro and the loop's return to its start (the seam), the effects on
# their frames.
# Usage: sdl_examples_e2e.sh SOURCE_DIR CAPTURE_CHECK SDL_PLAYER [SDL_MIXER_PLAYER]
set -u
source=$(realpath "$1") capture_check=$2 sdl_player=$3 sdl_mixer_player=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check DESCRIPTION CONDITION...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

song=$source/data/Org/Joy.org
seconds=68  # Joy's loop comes back to its start at 65.4 s
frames=$((seconds * 44100))
export SDL_AUDIODRIVER=disk SDL_DISKAUDIODELAY=0
run() {  # run NAME PROGRAM: plays the song for $seconds into $work/NAME.raw
  SDL_DISKAUDIOFILE=$work/$1.raw timeout 60 "$2" "$song" "$seconds" >"$work/$1.log" 2>&1
}

run callback "$sdl_player"
check "sdl_player plays $seconds s through its callback and ends (exit $?)" [ $? = 0 ] ||
  cat "$work/callback.log"
"$capture_check" "$song" "$work/callback.raw" "$frames" >"$work/callback.check"
check "what it played is liborgsynth's render, over the loop's return ($(tail -1 "$work/callback.check"))" \
  [ $? = 0 ]

if [ -n "$sdl_mixer_player" ]; then
  run mixer "$sdl_mixer_player"
  check "sdl_mixer_player plays $seconds s through Mix_HookMusic and ends (exit $?)" [ $? = 0 ] ||
    cat "$work/mixer.log"
  "$capture_check" "$song" "$work/mixer.raw" "$frames" effects >"$work/mixer.check"
  check "what it played is the render with its effects on their frames ($(tail -1 "$work/mixer.check"))" \
    [ $? = 0 ]
  "$capture_check" "$song" "$work/mixer.raw" "$frames" >/dev/null
  check "and the effects are there (it is not the song alone)" [ $? = 1 ]
else
  echo "(SDL2_mixer is not there: sdl_mixer_player is not built)"
fi

echo "$failures failed"
[ "$failures" = 0 ]
