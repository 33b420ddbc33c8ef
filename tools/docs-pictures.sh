#!/usr/bin/env bash
# Makes the pictures the README shows, from a build: runs the screenshot
# scripts in turn (configuration utility, notification icon, upgrade
# assistant, each under a virtual display against the local Talvex service)
# and copies the four the README uses into docs/, reduced to 256 colours so
# that all of them stay small. Needs root and a built build folder.
#   tools/docs-pictures.sh [BUILD_DIR]     (default build/win64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
cd "$root"

tools/config-screenshots.sh "$build" >/dev/null
tools/tray-screenshot.sh >/dev/null
tools/upgrade-pictures.sh "$build" >/dev/null

small() { convert "$1" -strip -colors 256 "PNG8:$2"; }
small "$build/screenshots/config-good.png" docs/config-home.png
small "$build/screenshots/config-logs.png" docs/config-logs.png
small "$root/build/screenshots/tray-balloon-corner.png" docs/tray-balloon.png
small "$build/pictures/offer.png" docs/upgrade-offer.png
ls -l docs/*.png | awk '{ total += $5; print $5, $9 } END { print total, "bytes in all" }'
