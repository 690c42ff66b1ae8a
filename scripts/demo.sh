#!/usr/bin/env bash
# The demo behind `make demo`: burns the bundled sample image into a simulated
# camera, reads the flash back and shows that both match. No hardware needed.
#   usage: scripts/demo.sh [BUILD_DIR]     (default build/release)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build/release}
case "$build" in /*) ;; *) build="$root/$build" ;; esac

emberline="$build/src/cli/emberline"
sample="$root/res/sample/sample.src"
if [ ! -x "$emberline" ]; then
  echo "demo: $emberline is missing; build it first (make release)" >&2
  exit 1
fi
if [ ! -f "$sample" ]; then
  echo "demo: the sample image $sample is missing" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/emberline-demo.XXXXXX")
camera="$work/camera.sim"
readback="$work/readback.src"
trap 'echo; echo "demo: FAILED (the files are in $work)" >&2' ERR

if [ -t 1 ]; then bold=$'\033[1m'; plain=$'\033[0m'; else bold=""; plain=""; fi
# A heading, then any further lines as plain text.
say() { printf '\n%s== %s%s\n' "$bold" "$1" "$plain"; shift; for line in "$@"; do echo "   $line"; done; }
# Shows the command as one would type it, then runs it.
run() {
  printf '$ emberline'
  for arg in "$@"; do
    if [[ $arg =~ ^[A-Za-z0-9_./:=@,+-]+$ ]]; then printf ' %s' "$arg"; else printf " '%s'" "$arg"; fi
  done
  printf '\n'
  "$emberline" "$@"
}

say "1. Create a simulated camera." "Its whole state (settings, registers, flash) lives in one file."
run sim init "$camera"

say "2. Ask the camera who it is: chip id, flash part, firmware version." \
  "The version block lives in the flash: this is the one sim init wrote there."
run --device "sim:$camera" info

say "3. Burn the sample image." \
  "Each request is made to take 50 us, about what USB costs, so the three stages" \
  "(erase and check, burning, verify) take a few seconds."
run --device "sim:$camera?latency-us=50" burn "$sample"

say "4. Ask for the firmware version again." \
  "The sample image carries a version block of its own, so the camera now reports the burned one."
version=$(run --device "sim:$camera" version)
echo "$version"
if ! grep -q '^QR5XS$' <<<"$version"; then
  echo "demo: the camera does not report the burned image's ROM tag QR5XS" >&2
  false
fi

say "5. Read the flash back into a file." "A separate run: the camera kept its flash in $camera."
run --device "sim:$camera" export "$readback"

say "6. Compare." \
  "A burn programs bytes 0 to 131,063. The last 8 bytes (0x1FFF8-0x1FFFF) are never written," \
  "and an export never reads them: the exported file always holds 0xFF there."
cmp -n 131064 "$sample" "$readback"
echo "The first 131,064 bytes of the exported file equal the sample image."
tail_bytes=$(tail -c 8 "$readback" | od -An -tx1 | tr -d ' \n')
if [ "$tail_bytes" != "ffffffffffffffff" ]; then
  echo "demo: the exported file's last 8 bytes are $tail_bytes, not all 0xFF" >&2
  false
fi
echo "Its last 8 bytes read 0xFF, as they must."
if cmp -s "$sample" "$readback"; then
  echo "(The sample image ends in 8 bytes of 0xFF itself, so here the two files are identical.)"
fi

say "Done. The files are in $work:"
echo "  $camera      the simulated camera (look at it: emberline sim show $camera)"
echo "  $readback    the flash as exported"
echo "Try more: $emberline --help"
