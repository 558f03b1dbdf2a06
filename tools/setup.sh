#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the main job need.
# Idempotent: when everything is present it only checks and returns.
# wine32 is never installed: /usr/bin/wine would prefer its 32-bit loader, which this
# kernel cannot run; we always start programs with wine64.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  g++-i686-linux-gnu qemu-user
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 mingw-w64-tools
  googletest libwine-dev wine wine64
  python3 python3-aiosmtpd rsyslog libevt-utils openssl zip unzip
  xvfb x11-apps imagemagick
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q 'install ok installed'; then
  echo "setup: wine32 is installed; remove it (apt-get remove wine32): wine would pick its 32-bit loader" >&2
  exit 1
fi
