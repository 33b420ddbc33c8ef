#!/usr/bin/env bash
# Kills a program writing the configuration at random moments, many times
# (300 unless given), and checks after each kill that the file still holds
# the account and the host list. Prints the count. Needs root; builds first.
#   tools/kill-test.sh [KILLS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
kills=${1:-300}
if [ "${2:-}" != "--inside" ]; then
    tools/setup.sh
    tools/build.sh >/dev/null
    exec tools/netns-run.sh "$0" "$kills" --inside
fi
source tools/session-lib.sh
session_start build/win64 kill-test-service
# Run directly rather than through ctest, whose time limit a long run passes.
cd build/win64/bin
TALVEX_KILLS=$kills "$WINE_RUN" config_commit_test.exe --gtest_filter='ConfigCommit.AWriterKilledAtAnyMomentLeavesTheWholeFile'
