#!/usr/bin/env bash
# build_id_test.sh BUILD_ID_SCRIPT
#
# The version a build carries, wherever its sources come from: a git checkout
# gives the release and its commit (".dirty" with changed files), a tree of
# links to a checkout (the Debian package build) the same, and an unpacked
# archive, or one unpacked inside some other repository, the bare release.
# Each tree gets a copy of the script in src/version/, where it lives.
set -euo pipefail

script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export GIT_CONFIG_GLOBAL=/dev/null GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@t GIT_COMMITTER_NAME=t GIT_COMMITTER_EMAIL=t@t

version_of() {  # the version build_id.cmake writes, run from a source tree
  cmake -DRELEASE=1.2.3 -DOUTPUT="$work/out.cpp" -P "$1/src/version/build_id.cmake"
  sed -n 's/.*return "\(.*\)";.*/\1/p' "$work/out.cpp"
}
expect() {  # what, got, wanted (an extended regular expression)
  [[ $2 =~ ^$3$ ]] || { echo "FAIL: $1: got '$2', wanted '$3'" >&2; exit 1; }
}

mkdir -p "$work/archive/src/version"
echo 'project(x)' >"$work/archive/CMakeLists.txt"
cp "$script" "$work/archive/src/version/build_id.cmake"
expect "an unpacked archive" "$(version_of "$work/archive")" '1\.2\.3'

git init -q "$work/repo"
cp -r "$work/archive/." "$work/repo/"
git -C "$work/repo" add .
git -C "$work/repo" commit -qm one
commit=$(git -C "$work/repo" rev-parse --short=12 HEAD)
expect "a checkout" "$(version_of "$work/repo")" "1\.2\.3\+g$commit"

touch -d '2000-01-01' "$work/out.cpp"
version_of "$work/repo" >/dev/null
[ "$(stat -c %Y "$work/out.cpp")" -eq "$(date -d 2000-01-01 +%s)" ] ||
  { echo "FAIL: an unchanged version rewrote its file (everything would recompile)" >&2; exit 1; }

echo '# changed' >>"$work/repo/CMakeLists.txt"
expect "a checkout with changes" "$(version_of "$work/repo")" "1\.2\.3\+g$commit\.dirty"

mkdir "$work/links"
cp "$work/repo/CMakeLists.txt" "$work/links/"
ln -s "$work/repo/src" "$work/links/src"
expect "a tree of links to a checkout" "$(version_of "$work/links")" "1\.2\.3\+g$commit\.dirty"

cp -r "$work/archive" "$work/repo/unpacked"
expect "an archive unpacked inside another repository" "$(version_of "$work/repo/unpacked")" '1\.2\.3'
echo "build ids as expected"
