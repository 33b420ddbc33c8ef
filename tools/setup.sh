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

# A mirror in mid-sync serves an index at another size than its release
# file announces, and apt-get update then fails as a whole although every
# other list was read. Try a few times; then go on with the lists there
# are: only a package that cannot be installed ends the set-up.
update_lists() {
    local out attempt
    out=$(mktemp)
    for attempt in 1 2 3; do
        if apt-get update -q >"$out" 2>&1; then
            rm -f "$out"
            return 0
        fi
        [ $attempt -lt 3 ] && sleep 5
    done
    local failed
    failed=$(sed -n 's/^E: Failed to fetch \([^ ]*\).*/\1/p' "$out" | sort -u | tr '\n' ' ' | sed 's/ $//')
    echo "setup.sh: apt-get update failed 3 times; going on with the package lists there are (not read: ${failed:-$(grep '^E:' "$out" | head -n 1)})"
    rm -f "$out"
}

# Installs the packages the suite needs; when they cannot all be installed
# at once, tries each alone and names the ones that cannot.
install_needed() {
    apt-get install -y -q --no-install-recommends "$@" && return 0
    local pkg failed=()
    for pkg in "$@"; do
        apt-get install -y -q --no-install-recommends "$pkg" >/dev/null 2>&1 || failed+=("$pkg")
    done
    [ ${#failed[@]} -eq 0 ] && return 0
    echo "setup.sh: cannot install ${failed[*]}, which the tests need" >&2
    return 1
}

update_lists
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup.sh: installing ${missing[*]}"
    install_needed "${missing[@]}"
fi
if [ $wine32 = yes ]; then
    echo "setup.sh: installing 32-bit Wine (this kernel executes 32-bit programs)"
    apt-get install -y -q --no-install-recommends wine32:i386 >/dev/null 2>&1 ||
        echo "setup.sh: 32-bit Wine could not be installed; the 32-bit suite will be skipped"
fi
