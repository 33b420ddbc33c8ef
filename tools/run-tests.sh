#!/usr/bin/env bash
# Everything from a fresh machine to a finished test run: install what is
# missing, build the 32-bit product and the 64-bit test build, fuzz every
# pure reader for a few seconds, then run all tests inside a private
# network: the 64-bit build everywhere, the 32-bit product too wherever a
# 32-bit Wine starts. Needs root.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/setup.sh || exit 1
tools/build.sh || exit 1
status=0

echo "== product binary sizes"
tools/binary-sizes.sh build/win32/bin

echo "== fuzzing smoke (3 s per reader)"
tools/fuzz.sh 3 || status=1

echo "== 64-bit build"
tools/netns-run.sh tools/test-session.sh build/win64 || status=1

echo "== 32-bit product"
if tools/probe-32bit.sh; then
    tools/netns-run.sh tools/test-session.sh build/win32 || status=1
fi
exit $status
