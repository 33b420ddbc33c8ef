#!/usr/bin/env bash
# Everything from a fresh machine to a finished test run: install what is
# missing, build the 32-bit product and the 64-bit test build, then run all
# tests inside a private network. Needs root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/setup.sh
tools/build.sh
exec tools/netns-run.sh tools/test-session.sh build/win64
