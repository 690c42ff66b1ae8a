#!/usr/bin/env bash
# make-packages.sh BUILD_DIR OUTPUT_DIR VERSION ARCH UPGRADE_CODE RELEASE_DATE
#
# From a Windows cross build, makes in OUTPUT_DIR:
#   emberline-VERSION-windows-ARCH.zip  the programs' folder as the install rules
#                                       make it (README.txt says what it holds)
#   emberline-VERSION-windows-ARCH.msi  the same files, installed per user:
#                                       wixl builds emberline.wxs, msi-tables.sql
#                                       adds what wixl cannot express
# ARCH is x64 or x86. RELEASE_DATE is CHANGELOG.md's date of VERSION.
set -euo pipefail

build_dir=$1 out=$2 version=$3 arch=$4 upgrade_code=$5 release_date=$6
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
if [ -z "$release_date" ]; then
  echo "CHANGELOG.md has no entry '## [$version] - YYYY-MM-DD': write one before packaging $version" >&2
  exit 1
fi

name=emberline-$version-windows-$arch
mkdir -p "$out"
cd "$out"
rm -rf stage emberline-*-windows-"$arch".zip emberline-*-windows-"$arch".msi
cmake --install "$build_dir" --prefix "stage/$name" --component emberline --strip >/dev/null

(cd stage && cmake -E tar cf "../$name.zip" --format=zip "$name")

# wixl reads the files relative to its working folder.
wixl -a "$arch" -D "Version=$version" -D "UpgradeCode=$upgrade_code" -D "Stage=stage/$name" \
  -D "Icon=$(realpath --relative-to=. "$source_dir/res/icon/emberline.ico")" \
  -o "$name.msi" "$here/emberline.wxs"
queries=()
while IFS= read -r line; do
  [[ -z $line || $line == --* ]] && continue
  line=${line//@VERSION@/$version}
  queries+=(-q "${line//@UPGRADE_CODE@/$upgrade_code}")
done <"$here/msi-tables.sql"
msibuild "$name.msi" "${queries[@]}"

echo "$out/$name.msi"
echo "$out/$name.zip"
