#!/usr/bin/env bash
# A release configuration without the publisher's certificate and key
# fails at once and makes no development key in its place.
#   check-release-signing.sh SOURCE_DIR TOOLCHAIN_FILE ARCH
set -uo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
output=$(env -u TALVEX_SIGN_CERT -u TALVEX_SIGN_KEY cmake -S "$1" -B "$scratch" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$2" -DTALVEX_ARCH="$3" -DTALVEX_TESTS=OFF -DTALVEX_RELEASE=ON 2>&1)
status=$?
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok    $what"; else echo "FAIL  $what"; failures=$((failures + 1)); fi
}
check "the release configuration fails" test $status -ne 0
check "it names the missing certificate and key" grep -q "TALVEX_SIGN_CERT and TALVEX_SIGN_KEY" <<<"$output"
check "no development key was made" test ! -e "$scratch/signing"
[ $failures -eq 0 ] || printf '%s\n' "$output"
exit $((failures > 0))
