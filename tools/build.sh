#!/usr/bin/env bash
# Builds the 32-bit product (build/win32) and the 64-bit build that the
# tests run under Wine everywhere (build/win64), from the same sources, each
# with its tests. Some kernels cannot execute 32-bit Linux programs, so
# 32-bit Wine cannot run there: run-tests.sh runs the 32-bit suite only
# where tools/probe-32bit.sh finds a 32-bit Wine that starts.
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
