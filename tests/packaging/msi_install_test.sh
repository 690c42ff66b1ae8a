#!/usr/bin/env bash
# msi_install_test.sh PACKAGE.msi WINDOWS_BUILD_DIR
#
# The Windows installer as a user meets it, under wine64 in a fresh prefix:
# `msiexec /i /qn` installs both programs for the current user, a Start-menu
# shortcut to the dialog (its name from the program's string 200, in the
# user's language) and the folder on the user's PATH, after what the user had
# there (not with ADDLOCAL=Emberline); a new console runs the installed
# emberline.exe from PATH, and it burns a simulated camera; the next
# version's installer replaces this one in place; `msiexec /x` removes every
# file, shortcut, registry value and PATH entry it made, and keeps the user's
# own PATH. WINDOWS_BUILD_DIR is the cross build the MSI came from: the next
# version's MSI is made from it.
set -euo pipefail

msi=$(realpath "$1")
build_dir=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Its version from the database itself.
properties=$(msiinfo export "$msi" Property | tr -d '\r')
version=$(sed -n 's/^ProductVersion\t//p' <<<"$properties")
upgrade_code=$(sed -n 's/^UpgradeCode\t{\(.*\)}$/\1/p' <<<"$properties")
[ -n "$version" ] && [ -n "$upgrade_code" ] || fail "no ProductVersion or UpgradeCode in $msi"
msiinfo export "$msi" Shortcut | grep -q $'\t\[#gui\]\t200\t' ||
  fail "the shortcut does not take its name from emberline-gui.exe's string 200"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC1091
. "$source_dir/scripts/wine-prefix.sh"
start_wine "$work/prefix"
wine=$wine_dir/wine64
in_wine() { "$wine" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
# The user's PATH, its entries joined by ";" (Wine leaves an empty entry where
# it removed one; Windows does not, and an empty entry means nothing).
user_path() {
  in_wine reg query 'HKCU\Environment' /v PATH | sed -n 's/^ *PATH *REG_[A-Z_]* *//p' | tr ';' '\n' | grep . | paste -sd';'
}
products() { in_wine reg query 'HKCU\Software\Microsoft\Installer\Products' /s | grep -c 'ProductName *REG_SZ *Emberline$' || true; }
windows_path() { echo "Z:${1//\//\\}"; }

profile="$WINEPREFIX/drive_c/users/$(id -un)"
install_dir="$profile/AppData/Local/Programs/Emberline"
shortcut="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Emberline.lnk"
before=$(cd "$WINEPREFIX" && find . | sort)

# The user's own PATH, which the installer appends to and the uninstaller keeps.
in_wine reg add 'HKCU\Environment' /v PATH /t REG_EXPAND_SZ /d 'C:\tools' /f >/dev/null

# Without the feature AddToPath, PATH stays as it was.
"$wine" msiexec /i "$(windows_path "$msi")" /qn ADDLOCAL=Emberline </dev/null >/dev/null 2>&1 ||
  fail "msiexec /i ADDLOCAL=Emberline exited with $?"
[ -f "$install_dir/emberline.exe" ] || fail "ADDLOCAL=Emberline installed no emberline.exe"
[ "$(user_path)" = 'C:\tools' ] || fail "the user's PATH after an install without AddToPath: $(user_path)"
"$wine" msiexec /x "$(windows_path "$msi")" /qn </dev/null >/dev/null 2>&1 || fail "msiexec /x exited with $?"

"$wine" msiexec /i "$(windows_path "$msi")" /qn </dev/null >/dev/null 2>&1 || fail "msiexec /i exited with $?"
for file in emberline.exe emberline-gui.exe README.txt sample.src; do
  [ -f "$install_dir/$file" ] || fail "$file is not in $install_dir"
done
[ -f "$shortcut" ] || fail "no Start-menu shortcut at $shortcut"
[ "$(user_path)" = 'C:\tools;C:\users\'"$(id -un)"'\AppData\Local\Programs\Emberline\' ] ||
  fail "the user's PATH after install: $(user_path)"
[ "$(products)" -eq 1 ] || fail "$(products) products named Emberline are registered"

# A new console finds emberline.exe on PATH; it burns a simulated camera.
[[ $(in_wine cmd /c emberline.exe --version) =~ ^emberline\ ${version//./\\.}(\+g[0-9a-f]+(\.dirty)?)?$ ]] ||
  fail "emberline.exe --version from PATH: $(in_wine cmd /c emberline.exe --version)"
cam=$(windows_path "$work/cam.sim")
in_wine cmd /c emberline.exe sim init "$cam" >/dev/null
burn=$(in_wine cmd /c emberline.exe --device "sim:$cam" burn 'C:\users\'"$(id -un)"'\AppData\Local\Programs\Emberline\sample.src' 2>&1)
grep -q "Burn Successes!" <<<"$burn" || fail "burn with the installed emberline.exe: $burn"

# The next version replaces this one in place: one product, the new version.
next=${version%.*}.$((${version##*.} + 1))
"$source_dir/packaging/windows/make-packages.sh" "$build_dir" "$work/next" "$next" x64 "$upgrade_code" 2000-01-01 >/dev/null
"$wine" msiexec /i "$(windows_path "$work/next/emberline-$next-windows-x64.msi")" /qn </dev/null >/dev/null 2>&1 ||
  fail "msiexec /i of version $next exited with $?"
[ "$(products)" -eq 1 ] || fail "after the upgrade to $next, $(products) products named Emberline are registered"
in_wine reg query 'HKCU\Software\Microsoft\Installer\Products' /s | grep -q "Version *REG_DWORD *0x$(printf '%02x%02x%04x' ${next//./ } | sed 's/^0*//')$" ||
  fail "the registered version is not $next"
[ -f "$install_dir/emberline.exe" ] && [ -f "$shortcut" ] || fail "files or shortcut missing after the upgrade"
[ "$(user_path)" = 'C:\tools;C:\users\'"$(id -un)"'\AppData\Local\Programs\Emberline\' ] ||
  fail "the user's PATH after the upgrade: $(user_path)"

# Uninstalled: nothing of it is left, the user's PATH is as it was.
"$wine" msiexec /x "$(windows_path "$work/next/emberline-$next-windows-x64.msi")" /qn </dev/null >/dev/null 2>&1 ||
  fail "msiexec /x exited with $?"
[ "$(user_path)" = 'C:\tools' ] || fail "the user's PATH after uninstall: $(user_path)"
[ "$(products)" -eq 0 ] || fail "Emberline is still registered after uninstall"
in_wine reg query 'HKCU\Software\Emberline' | grep -q . && fail "HKCU\\Software\\Emberline is left after uninstall"
# Wine keeps its own logs and caches; our files are what is new besides them.
left=$(comm -13 <(echo "$before") <(cd "$WINEPREFIX" && find . | sort) | grep -i emberline || true)
[ -z "$left" ] || fail "left after uninstall: $left"
echo "msi: installed, ran, upgraded, removed: $(basename "$msi")"
