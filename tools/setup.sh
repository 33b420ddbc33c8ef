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
    # Authenticode signatures of the product's binaries.
    "osslsigncode:osslsigncode"
    "/usr/src/googletest/CMakeLists.txt:googletest"
    "/etc/ssl/certs/ca-certificates.crt:ca-certificates"
    # The native fuzzing build of the pure readers (tools/fuzz.sh).
    "clang++-14:clang-14"
    "/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a:libclang-rt-14-dev"
)

# 32-bit Wine runs the 32-bit product's suite, but only where the kernel
# executes 32-bit programs at all: elsewhere it could not start.
wine32=no
if [ ! -x /usr/lib/wine/wine ] && "$(dirname "$0")/probe-32bit.sh" kernel >/dev/null; then
    wine32=yes
fi

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

if [ ${#missing[@]} -eq 0 ] && [ $wine32 = no ]; then
    exit 0
fi

need_root
export DEBIAN_FRONTEND=noninteractive
[ $wine32 = no ] || dpkg --add-architecture i386
apt-get update -q
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup.sh: installing ${missing[*]}"
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
if [ $wine32 = yes ]; then
    echo "setup.sh: installing 32-bit Wine (this kernel executes 32-bit programs)"
    apt-get install -y -q --no-install-recommends wine32:i386 ||
        echo "setup.sh: 32-bit Wine could not be installed; the 32-bit suite will be skipped"
fi
