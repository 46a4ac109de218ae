#!/usr/bin/env bash
# Installs what building and testing qvfile needs on Debian 12, as root.
# Does nothing (and takes no time) when everything is already present.
set -euo pipefail

packages=(cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
          wine64 wine32:i386 xvfb xauth googletest duktape-dev clang libclang-rt-14-dev
          node-typescript zip unzip)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bootstrap: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
# 32-bit Wine comes from the i386 architecture.
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
