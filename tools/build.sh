#!/usr/bin/env bash
# Builds the 32-bit product (build/win32) and the 64-bit build that the
# tests run under Wine (build/win64). The kernel of our test machines cannot
# execute 32-bit Linux programs, so 32-bit Wine cannot run here; the same
# sources are compiled for both.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
for arch in i686 x86_64; do
    case $arch in i686) dir=build/win32 ;; *) dir=build/win64 ;; esac
    cmake -S "$root" -B "$root/$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw.cmake" -DTALVEX_ARCH=$arch \
        -DTALVEX_PRODUCT_BUILD="$root/build/win32" >/dev/null
    cmake --build "$root/$dir" -j "$jobs"
done
