#!/usr/bin/env bash
# Installs what this machine lacks (Debian 12 packages), then configures and builds
# TesselFTP into build/. Sourced by run.sh and test.sh.
set -euo pipefail

TESSEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TESSEL_BUILD=${TESSEL_BUILD:-$TESSEL_ROOT/build}

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-translations-l10n
  libgl-dev fonts-ipafont-gothic
  python3 python3-pyftpdlib python3-openssl openssl
  ppp curl
  libssh-dev openssh-server openssh-client
  qtkeychain-qt6-dev libsecret-1-0 gnome-keyring dbus-daemon dbus-x11
  desktop-file-utils appstream dpkg-dev file
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# In CI (CI set, as every CI service does) a warning fails the build.
werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S "$TESSEL_ROOT" -B "$TESSEL_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} \
  -DTESSEL_WERROR=$werror >/dev/null
cmake --build "$TESSEL_BUILD"
