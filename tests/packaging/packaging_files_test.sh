#!/usr/bin/env bash
# packaging_files_test.sh SOURCE_DIR BINARY_PACKAGING_DIR VERSION
#
# The files the packages install, checked with the tools the distributions
# check them with: the desktop entry, the AppStream metadata (as the build
# made it), the man pages as lintian reads them, the completion scripts'
# syntax, and CHANGELOG.md's entry for this version, which the packages take
# their date from.
set -uo pipefail

source_dir=$1 binary_dir=$2 version=$3
packaging=$source_dir/packaging
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

desktop-file-validate "$packaging/linux/org.emberline.Emberline.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$binary_dir/org.emberline.Emberline.metainfo.xml" || fail "AppStream metadata"
grep -q "<release version=\"$version\" date=\"[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]\"/>" \
  "$binary_dir/org.emberline.Emberline.metainfo.xml" || fail "AppStream metadata: no release $version with its date"
for page in "$packaging"/man/*.1; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
for script in "$packaging"/completion/*; do
  bash -n "$script" || fail "$(basename "$script"): not valid bash"
done
grep -Eq "^## \[${version//./\\.}\] - [0-9]{4}-[0-9]{2}-[0-9]{2}$" "$source_dir/CHANGELOG.md" ||
  fail "CHANGELOG.md has no entry '## [$version] - YYYY-MM-DD'"

[ "$failures" -eq 0 ] || exit 1
echo "packaging files valid"
