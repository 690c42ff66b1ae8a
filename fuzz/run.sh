#!/usr/bin/env bash
# Builds the fuzzers with clang++ in their own build folder and runs each for a
# bounded number of inputs from a fixed seed, so that a run on a fresh clone
# tries the same inputs every time: the USB descriptor scanner, seeded with
# the descriptor fixtures of the tests, and the trace reader, seeded with
# fuzz/trace_seeds/. Exits non-zero when a fuzzer finds a crash (the input is
# kept as <build>/artifacts/<fuzzer>/crash-*).
#
#   fuzz/run.sh                       # build/fuzz, 200000 inputs each, seed 1
#   EMBERLINE_FUZZ_SECONDS=300 EMBERLINE_FUZZ_BUILD_DIR=/tmp/fuzz fuzz/run.sh
#                                     # explore: 5 minutes each, a random seed
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${EMBERLINE_FUZZ_BUILD_DIR:-$root/build/fuzz}
if [ -n "${EMBERLINE_FUZZ_SECONDS:-}" ]; then
  bound=(-max_total_time="$EMBERLINE_FUZZ_SECONDS")
  what_bound="${EMBERLINE_FUZZ_SECONDS}s"
else
  bound=(-runs=200000 -seed=1)
  what_bound="200000 inputs"
fi
jobs=${JOBS:-$(nproc)}

cd "$root"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target usb_descriptor_fuzzer trace_fuzzer -j "$jobs" >/dev/null

# Descriptor seeds: the fixtures' hex text turned into bytes ('#' starts a comment).
seeds=$build/seeds
mkdir -p "$seeds"
for fixture in "$root"/tests/linux/fixtures/*.hex; do
  hex=$(sed 's/#.*//' "$fixture" | tr -cd '0-9A-Fa-f')
  printf '%b' "$(sed 's/../\\x&/g' <<<"$hex")" >"$seeds/$(basename "$fixture" .hex).bin"
done

# fuzz NAME WHAT SEEDS MAX_LEN
fuzz() {
  local name=$1 what=$2 seed_dir=$3 max_len=$4
  local corpus=$build/corpus/$name artifacts=$build/artifacts/$name
  mkdir -p "$corpus" "$artifacts"
  echo "fuzzing $what: $what_bound"
  "$build/fuzz/$name" \
    "${bound[@]}" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
    -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$corpus" "$seed_dir" 2>"$build/$name.log" || {
    status=$?
    tail -n 60 "$build/$name.log" >&2
    echo "fuzz: $name failed (exit $status); inputs in $artifacts/" >&2
    exit "$status"
  }
  grep -E '^(Done [0-9]+ runs|stat::new_units_added)' "$build/$name.log" || true
}

fuzz usb_descriptor_fuzzer "the USB descriptor scanner" "$seeds" 4096
fuzz trace_fuzzer "the trace reader" "$root/fuzz/trace_seeds" 8192
