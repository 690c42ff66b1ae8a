#!/usr/bin/env bash
# Installs the Debian packages Emberline builds and tests with. Idempotent and
# quiet: when everything is present it prints nothing and touches nothing.
set -euo pipefail

packages=(
  build-essential cmake g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev libudev-dev
  libsystemd-dev  # sd-bus: the logind inhibitors that keep the machine awake during a burn
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
  xvfb xauth fonts-wqy-microhei
  clang libclang-rt-14-dev
  # Windows cross build: the posix-thread mingw-w64 compilers (std::mutex and
  # GoogleTest need them) and wine64 to run the x86_64 test programs.
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64
  # Packages: the .deb (debhelper, and lintian to check it), the MSI (wixl and
  # msitools), and the checks of what they install.
  debhelper dpkg-dev lintian wixl msitools unzip
  desktop-file-utils appstream bash-completion man-db
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
