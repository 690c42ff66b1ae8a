# Sourced by the scripts that run Windows programs under wine64:
#   start_wine PREFIX_DIR
# Gives Wine a prefix of its own (nothing in $HOME is touched), starts its
# server and warms it up with its standard streams on /dev/null: helper
# processes started later would otherwise inherit a caller's output pipe
# (ctest's) and keep it waiting for ever. The server is stopped on exit.
wine_dir=/usr/lib/wine

start_wine() {
  [ -x "$wine_dir/wine64" ] || { echo "wine64 is missing: run scripts/install-deps.sh" >&2; exit 1; }
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  # No Mono or Gecko installers: nothing here needs either.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  mkdir -p "$WINEPREFIX"
  "$wine_dir/wineserver" -p
  trap '"$wine_dir/wineserver" -k >/dev/null 2>&1 || true' EXIT
  "$wine_dir/wine64" cmd /c exit </dev/null >/dev/null 2>&1 || true
}
