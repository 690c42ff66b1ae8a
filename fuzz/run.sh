#!/usr/bin/env bash
# Builds the USB descriptor fuzzer with clang++ in its own build folder and runs
# it for a bounded time, seeded with the descriptor fixtures of the tests.
# Exits non-zero when the fuzzer finds a crash (the input is kept as
# <build>/artifacts/crash-*).
#
#   fuzz/run.sh                       # build/fuzz, 30 seconds
#   EMBERLINE_FUZZ_SECONDS=300 EMBERLINE_FUZZ_BUILD_DIR=/tmp/fuzz fuzz/run.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${EMBERLINE_FUZZ_BUILD_DIR:-$root/build/fuzz}
seconds=${EMBERLINE_FUZZ_SECONDS:-30}
jobs=${JOBS:-$(nproc)}

cd "$root"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target usb_descriptor_fuzzer -j "$jobs" >/dev/null

# Seeds: the fixtures' hex text turned into bytes ('#' starts a comment).
seeds=$build/seeds
corpus=$build/corpus
mkdir -p "$seeds" "$corpus" "$build/artifacts"
for fixture in "$root"/tests/linux/fixtures/*.hex; do
  hex=$(sed 's/#.*//' "$fixture" | tr -cd '0-9A-Fa-f')
  printf '%b' "$(sed 's/../\\x&/g' <<<"$hex")" >"$seeds/$(basename "$fixture" .hex).bin"
done

echo "fuzzing the USB descriptor scanner for ${seconds}s"
"$build/fuzz/usb_descriptor_fuzzer" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -print_final_stats=1 -artifact_prefix="$build/artifacts/" \
  "$corpus" "$seeds" 2>"$build/fuzz.log" || {
  status=$?
  tail -n 60 "$build/fuzz.log" >&2
  echo "fuzz: the USB descriptor fuzzer failed (exit $status); inputs in $build/artifacts/" >&2
  exit "$status"
}
grep -E '^(Done [0-9]+ runs|stat::new_units_added)' "$build/fuzz.log" || true
