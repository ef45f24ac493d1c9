#!/usr/bin/env bash
# Runs every libFuzzer program (fuzz_<target>) of a fuzz build for a bounded time, two at a time, each on a copy
# of its committed seed corpus. Prints one line per target (executions, corpus growth, result);
# a crash, a leak, a time-out or an out-of-memory fails the run, leaving the input that caused it
# under <work>/findings/<target>/ to be committed with its regression test. The limits leave room
# for the largest pictures the decoders accept (16384 x 16384: a tiny RLE or PNG file can ask for
# one, and the picture loader then holds it twice, well over a gigabyte and several seconds).
# Usage: run_fuzzers.sh <fuzz build folder> <seconds per target> [work folder]
set -uo pipefail
build=$(realpath "$1")
seconds=$2
work=$(realpath -m "${3:-$(mktemp -d)}")
here=$(cd "$(dirname "$0")" && pwd)
targets=()
for program in "$build"/tests/fuzz/fuzz_*; do targets+=("${program##*/fuzz_}"); done
((${#targets[@]})) || { echo "no fuzz programs in $build/tests/fuzz"; exit 1; }

run_one() {
  local name=$1
  local corpus=$work/corpus/$name findings=$work/findings/$name
  mkdir -p "$corpus" "$findings"
  cp -r "$here/corpus/$name/." "$corpus/"
  # Seeds go first as inputs, the working corpus last, so that only the copy grows.
  "$build/tests/fuzz/fuzz_$name" "$corpus" -max_total_time="$seconds" -print_final_stats=1 \
    -rss_limit_mb=4096 -malloc_limit_mb=3072 -timeout=60 -artifact_prefix="$findings/" \
    >"$work/$name.log" 2>&1
  echo $? >"$work/$name.rc"
}

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$work"
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  run_one "${targets[i]}" &
  if ((i + 1 < ${#targets[@]})); then run_one "${targets[i + 1]}" & fi
  wait
done

failed=0
printf '%-14s %12s %10s %8s  %s\n' target executions exec/s corpus result
for name in "${targets[@]}"; do
  log=$work/$name.log
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$')
  rate=$(( ${runs:-0} / seconds ))
  files=$(find "$work/corpus/$name" -type f | wc -l)
  if [[ $(cat "$work/$name.rc") == 0 ]]; then
    result=ok
  else
    result="FAILED (see $log)"
    failed=1
  fi
  printf '%-14s %12s %10s %8s  %s\n' "$name" "${runs:-?}" "${rate:-?}" "$files" "$result"
done
if ((failed)); then
  for name in "${targets[@]}"; do
    [[ $(cat "$work/$name.rc") == 0 ]] || { echo "== $name"; tail -60 "$work/$name.log"; }
  done
fi
exit $failed
