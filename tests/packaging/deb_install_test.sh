#!/usr/bin/env bash
# deb_install_test.sh PACKAGE.deb
#
# The Debian package as a user gets it: lintian finds no error or warning in
# it; `dpkg -i` installs it; the programs run from /usr/bin and print the
# package's version; a burn on a simulated camera goes through with the
# installed program and the sample image it ships; the udev rule, desktop
# entry, AppStream metadata, icons, man pages, completion and documentation
# are where the system looks for them; `dpkg --purge` leaves no file of the
# package behind. Needs root (CI's throwaway machine); refuses to run where
# emberline is already installed, rather than remove someone's copy.
set -euo pipefail

deb=$(realpath "$1")
[ "$(id -u)" -eq 0 ] || { echo "$0: needs root (dpkg -i)" >&2; exit 1; }
if dpkg-query -W -f='${Status}' emberline 2>/dev/null | grep -q ' installed'; then
  echo "$0: emberline is installed on this machine; remove it first (dpkg --purge emberline)" >&2
  exit 1
fi
version=$(dpkg-deb -f "$deb" Version)
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

echo "lintian $(basename "$deb")"
lintian --fail-on error,warning "$deb"

work=$(mktemp -d)
trap 'dpkg --purge emberline >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
dpkg -i "$deb" >/dev/null
mapfile -t files < <(dpkg -L emberline)

# From /usr/bin, the package's version (and the commit it was built from).
release=${version//./\\.}
[[ $(/usr/bin/emberline --version) =~ ^emberline\ $release(\+g[0-9a-f]+(\.dirty)?)?$ ]] ||
  fail "emberline --version: $(/usr/bin/emberline --version), package $version"
[[ $(QT_QPA_PLATFORM=offscreen /usr/bin/emberline-gui --version 2>/dev/null) =~ ^emberline-gui\ $release ]] ||
  fail "emberline-gui --version: $(QT_QPA_PLATFORM=offscreen /usr/bin/emberline-gui --version 2>&1)"

# A burn on a simulated camera, and the image read back.
cd "$work"
emberline sim init cam.sim >/dev/null
emberline --device sim:cam.sim burn /usr/share/emberline/sample.src >burn.txt || fail "burn: $(cat burn.txt)"
grep -q "Burn Successes!" burn.txt || fail "burn: $(cat burn.txt)"
emberline --device sim:cam.sim export back.src >/dev/null
cmp -n 131064 /usr/share/emberline/sample.src back.src || fail "the exported image differs from the burned one"

# Where the system looks for each file.
for file in /usr/lib/udev/rules.d/70-emberline.rules \
  /usr/share/applications/org.emberline.Emberline.desktop \
  /usr/share/metainfo/org.emberline.Emberline.metainfo.xml \
  /usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,256x256}/apps/org.emberline.Emberline.png \
  /usr/share/bash-completion/completions/emberline /usr/share/bash-completion/completions/emberline-gui \
  /usr/share/doc/emberline/copyright /usr/share/doc/emberline/changelog.gz; do
  [ -f "$file" ] || fail "$file is missing"
done
ls /usr/share/doc/emberline/record.md* >/dev/null || fail "record.md is missing in /usr/share/doc/emberline"
zgrep -q "^emberline ($version)" /usr/share/doc/emberline/changelog.gz || fail "the changelog has no entry for $version"
cmp -s <(emberline udev-rule) /usr/lib/udev/rules.d/70-emberline.rules ||
  fail "the installed udev rule is not the one 'emberline udev-rule' prints"
[ "$(man -w emberline)" = /usr/share/man/man1/emberline.1.gz ] || fail "man emberline finds $(man -w emberline)"
[ "$(man -w emberline-gui)" = /usr/share/man/man1/emberline-gui.1.gz ] || fail "man emberline-gui"
# shellcheck disable=SC2016
bash -c '. /usr/share/bash-completion/bash_completion && __load_completion emberline &&
         __load_completion emberline-gui && complete -p emberline emberline-gui' >/dev/null ||
  fail "bash-completion does not load the completions"
desktop-file-validate /usr/share/applications/org.emberline.Emberline.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.emberline.Emberline.metainfo.xml >/dev/null

dpkg --purge emberline >/dev/null
for file in "${files[@]}"; do
  [ -d "$file" ] || [ ! -e "$file" ] || fail "$file is left after dpkg --purge"
done
for dir in /usr/share/doc/emberline /usr/share/emberline; do
  [ -d "$dir" ] && fail "$dir is left after dpkg --purge"
done
! dpkg-query -W emberline >/dev/null 2>&1 || fail "dpkg still knows emberline after --purge"
echo "deb: installed, ran, purged: $(basename "$deb")"
