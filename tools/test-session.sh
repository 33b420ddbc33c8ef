#!/usr/bin/env bash
# Runs the whole test suite of a build folder; called inside the private
# network by run-tests.sh. Starts what the tests need (Wine's server, the
# local Talvex service) and stops it again, whatever the outcome.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
certs=${TALVEX_TEST_CERTS:?run through netns-run.sh}

"$here/wine-prefix.sh" "$build" || exit 1
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all

service_pid=
cleanup() {
    [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
}
trap cleanup EXIT

# Wine's server stays up for the whole run: each test process then starts
# in a fraction of the time.
wineserver -p
# Start Wine's own background processes now, detached from the test
# runner's output pipes, or ctest would wait on pipes they inherited.
"$build/wine-run.sh" cmd /c exit >/dev/null 2>&1 </dev/null

"$here/start-service.sh" "$build/talvex-service.log" || exit 1
service_pid=$(cat "$build/talvex-service.pid")

status=0
echo "== local Talvex service tests"
(cd "$here/tests" && /usr/bin/python3 -m unittest discover -s . 2>&1 | tail -n 4) || status=1

echo "== Windows tests under Wine"
(cd "$build" && ctest --output-on-failure --timeout 300) || status=1
exit $status
