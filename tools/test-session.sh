#!/usr/bin/env bash
# Runs the whole test suite of a build folder; called inside the private
# network by run-tests.sh.
#   test-session.sh BUILD_DIR             every test
#   test-session.sh BUILD_DIR REGEX       only the ctest tests whose names
#                                         match (display tests included)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/session-lib.sh"
session_start "$1" talvex-service || exit 1
only=${2:-}

status=0
if [ -z "$only" ]; then
    echo "== local Talvex service tests"
    (cd "$here/tests" && /usr/bin/python3 -m unittest discover -s . 2>&1 | tail -n 4) || status=1
fi

echo "== Windows tests under Wine"
(cd "$1" && ctest --output-on-failure --timeout 300 -LE display ${only:+-R "$only"} --no-tests=ignore) || status=1
# Windows that need a display run last, in a Wine session of their own
# (see tests/lib/CMakeLists.txt).
session_fresh_wine
(cd "$1" && ctest --output-on-failure --timeout 300 -L display ${only:+-R "$only"} --no-tests=ignore) || status=1
exit $status
