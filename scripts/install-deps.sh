#!/usr/bin/env bash
# Installs what building and testing Setup needs on a fresh Debian 12 machine.
# Usage: scripts/install-deps.sh [main|all]   (main: the native build only)
set -euo pipefail
what=${1:-all}
SUDO=
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

# The native build needs libcurl (downloads); the main job serves a web folder
# with python3 to show them.
pkgs=(cmake make g++ googletest file libcurl4-openssl-dev python3)
if [ "$what" = all ]; then
  pkgs+=(clang g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 xvfb xdotool imagemagick
         libinih-dev liblnk-utils fonts-dejavu-core)
fi

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
