#!/usr/bin/env bash
# Runs the Windows test programs of a cross build under wine64 through ctest.
#   scripts/wine-ctest.sh BUILD_DIR [ctest options...]
# Wine gets a prefix of its own inside the build folder (nothing in $HOME is
# touched). Its server is started first and warmed up with its standard
# streams on /dev/null: helper processes started later would otherwise
# inherit ctest's output pipe and keep ctest waiting for ever.
set -euo pipefail

# The native dialog's tests open windows: without a display, run on Xvfb.
if [ -z "${DISPLAY:-}" ] && [ -z "${EMBERLINE_WINE_XVFB:-}" ] && command -v xvfb-run >/dev/null; then
  export EMBERLINE_WINE_XVFB=1
  exec xvfb-run -a "$0" "$@"
fi

build_dir=$(cd "$1" && pwd)
shift
. "$(dirname "$0")/wine-prefix.sh"
start_wine "$build_dir/wineprefix"

cd "$build_dir"
ctest "$@"
