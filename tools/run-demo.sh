#!/usr/bin/env bash
# Shows the updater at work from a fresh machine: sets up, builds, installs
# the product with its real installer and a demo account into a Wine prefix,
# and lets the updater service run two passes against the local Talvex
# service inside a private network, then uninstalls. Needs root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/setup.sh
tools/build.sh >/dev/null
exec tools/netns-run.sh tools/demo-session.sh build/win64
