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
# Windows that need a display run last, each test in a Wine session of its
# own (see tests/lib/CMakeLists.txt): its virtual display ends with it, and
# so does the desktop shell Wine started on that display, which would stay
# registered for the next test, which then could not reach any shell.
for name in $(cd "$1" && ctest -N -L display ${only:+-R "$only"} | sed -n 's/^ *Test *#[0-9]*: //p'); do
    session_fresh_wine
    (cd "$1" && ctest --output-on-failure --timeout 300 -L display -R "^${name}\$" --no-tests=ignore) || status=1
done
exit $status
