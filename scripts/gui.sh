#!/usr/bin/env bash
# Starts the operator's dialog on a simulated camera.
#   ./scripts/gui.sh BUILD_DIR [extra emberline-gui options, e.g. --lang zh_CN]
# The camera's state lives in ${EMBERLINE_GUI_SIM:-$TMPDIR/emberline-gui/camera.sim}
# and is created with `emberline sim init` the first time; it keeps what the
# dialog did to it from one run to the next. A sample image sits beside it.
set -euo pipefail

build="${1:?usage: $0 BUILD_DIR [emberline-gui options]}"
shift
[ -d "$build" ] || { echo "$0: no build folder $build; build first (make build)" >&2; exit 1; }
build="$(cd "$build" && pwd)"
cli="$build/src/cli/emberline"
gui="$build/src/gui/qt/emberline-gui"
for tool in "$cli" "$gui"; do
  [ -x "$tool" ] || { echo "$0: $tool is missing; build first (make build)" >&2; exit 1; }
done

state="${EMBERLINE_GUI_SIM:-${TMPDIR:-/tmp}/emberline-gui/camera.sim}"
mkdir -p "$(dirname "$state")"
if [ ! -e "$state" ]; then
  "$cli" sim init "$state" >/dev/null
  echo "Created a simulated camera in $state"
fi

here="$(cd "$(dirname "$0")/.." && pwd)"
sample="$here/res/sample/sample.src"
if [ -f "$sample" ]; then
  cp -f "$sample" "$(dirname "$state")/sample.src"
  echo "A firmware image to burn: $(dirname "$state")/sample.src (Browse, or drop it on the dialog)"
fi

# The export writes into the current directory: keep it beside the camera.
cd "$(dirname "$state")"
exec "$gui" --device "sim:$state" "$@"
