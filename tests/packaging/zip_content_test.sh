#!/usr/bin/env bash
# zip_content_test.sh PACKAGE.zip
#
# The portable zip holds one folder named like the zip, and in it exactly the
# files its README.txt lists under "Files"; the programs are Windows programs
# of the architecture the name says (x64 or x86) with the version in their
# version blocks, README.txt has Windows line ends.
set -euo pipefail

zip=$(realpath "$1")
name=$(basename "$zip" .zip)
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
[ "$(ls "$work")" = "$name" ] || fail "the zip does not hold one folder $name/: $(ls "$work")"
readme=$work/$name/README.txt
[ -f "$readme" ] || fail "no README.txt"
grep -q $'\r$' "$readme" && ! grep -q $'[^\r]$' "$readme" || fail "README.txt does not end its lines with CR LF"

# "Files", "-----", a blank line, then "  name   what it is" lines up to a blank line.
listed=$(tr -d '\r' <"$readme" | sed -n '/^Files$/,/^[A-Z]/p' | sed -n 's/^  \([^ ]\{1,\}\)  .*/\1/p' | sort)
[ -n "$listed" ] || fail "README.txt lists no files under 'Files'"
held=$(cd "$work/$name" && find . -type f | sed 's|^\./||' | sort)
[ "$listed" = "$held" ] || fail "README.txt lists: $(echo $listed); the zip holds: $(echo $held)"

# The PE header's machine field: 0x8664 for x64, 0x014c for x86.
case $name in
  *-x64) machine=6486 ;;
  *-x86) machine=4c01 ;;
  *) fail "no architecture in the name $name" ;;
esac
# Each program's version block carries the version (UTF-16 strings).
version=${name#emberline-}
version=${version%-windows-*}
for exe in "$work/$name"/*.exe; do
  pe=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
  [ "$(od -An -tx1 -j"$pe" -N6 "$exe" | tr -d ' \n')" = "50450000$machine" ] ||
    fail "$(basename "$exe") is not a ${name##*-} Windows program"
  strings -el "$exe" | grep -qx "$version" || fail "$(basename "$exe") has no version block of $version"
done
echo "zip: holds what README.txt says: $name.zip"
