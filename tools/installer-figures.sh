#!/usr/bin/env bash
# Prints the installer's figures: the size of setup.exe (each build that
# has one), the installed size, and the times of a silent installation and
# of a silent upgrade over the running installation under Wine (best of
# three each). Runs inside the private network; needs root and a built
# build/win64.
#   tools/installer-figures.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
if [ "${TALVEX_FIGURES_INSIDE:-}" != 1 ]; then
    export TALVEX_FIGURES_INSIDE=1
    exec "$root/tools/netns-run.sh" "$0" "$build"
fi
set +e
source "$root/tests/installer/installer-lib.sh"
inst_begin "$build"

echo "== Installer size (goal: under 1.5 MB with every program in it)"
for setup in "$root"/build/*/installer/setup.exe; do
    bytes=$(stat -c %s "$setup")
    printf '  %-44s %8d bytes  %5.2f MB  (%s)\n' "${setup#$root/}" "$bytes" "$(awk "BEGIN { print $bytes / 1048576 }")" \
        "$(sed -n 's/^  File "\(.*\)"/\1/p' "$(dirname "$setup")/installer_build.nsh" | xargs -n1 basename | tr '\n' ' ')"
done

millis() { date +%s%N | cut -b1-13; }
best() { sort -n | head -n 1; }
install_times=() upgrade_times=()
for _ in 1 2 3; do
    inst_clean
    t0=$(millis); inst_setup "$build/installer/setup.exe"; t1=$(millis)
    install_times+=($((t1 - t0)))
    inst_wait 10 sh -c "[ \"\$(\"$WINE\" \"$build/bin/InstallProbe.exe\" service | tr -d '\r')\" = running ]"
    t0=$(millis); inst_setup "$build/installer/setup.exe"; t1=$(millis)
    upgrade_times+=($((t1 - t0)))
done
installed=$(du -sb "$PROGRAMS" | cut -f1)
echo "== Installed size ($build)"
printf '  program folder %d bytes  %.2f MB\n' "$installed" "$(awk "BEGIN { print $installed / 1048576 }")"
echo "== Silent installation into an empty prefix (setup.exe /S /D=...): best of 3"
printf '  %d ms   (runs: %s ms)\n' "$(printf '%s\n' "${install_times[@]}" | best)" "${install_times[*]}"
echo "== Silent upgrade over the running installation (service stopped, files replaced, service started): best of 3"
printf '  %d ms   (runs: %s ms)\n' "$(printf '%s\n' "${upgrade_times[@]}" | best)" "${upgrade_times[*]}"
inst_clean
