#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the suite.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

need_root() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup.sh: run as root (it installs Debian packages)" >&2
        exit 1
    fi
}

# Commands (or files) that prove a package is installed, and the package.
checks=(
    "x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix"
    "i686-w64-mingw32-g++-posix:g++-mingw-w64-i686-posix"
    "i686-w64-mingw32-windres:binutils-mingw-w64-i686"
    "x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64"
    "/usr/lib/wine/wine64:wine64"
    "wineserver:wine"
    "Xvfb:xvfb"
    "xvfb-run:xvfb"
    "xauth:xauth"
    "/usr/bin/python3:python3"
    "openssl:openssl"
    "ip:iproute2"
    "unshare:util-linux"
    "cmake:cmake"
    "ninja:ninja-build"
    "makensis:nsis"
    "import:imagemagick"
    "/usr/src/googletest/CMakeLists.txt:googletest"
    "/etc/ssl/certs/ca-certificates.crt:ca-certificates"
)

missing=()
for entry in "${checks[@]}"; do
    probe=${entry%%:*}
    pkg=${entry#*:}
    if [[ $probe == /* ]]; then
        [ -e "$probe" ] || missing+=("$pkg")
    else
        command -v "$probe" >/dev/null 2>&1 || missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

need_root
echo "setup.sh: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
