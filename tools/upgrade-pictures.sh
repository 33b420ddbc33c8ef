#!/usr/bin/env bash
# Screenshots of the upgrade assistant in each of its states, made under a
# virtual X server inside the private network against the local Talvex
# service. Needs root and a built build/win64 (tools/build.sh).
#   tools/upgrade-pictures.sh [BUILD_DIR]     pictures in BUILD_DIR/pictures/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win64}
exec "$root/tools/netns-run.sh" xvfb-run -a -s "-screen 0 1024x768x24" \
    "$root/tools/upgrade-pictures-session.sh" "$build"
