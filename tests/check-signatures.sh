#!/usr/bin/env bash
# Every file the product ships carries a valid Authenticode signature by the
# build's publisher certificate: the seven binaries, the installer's first
# stage and the NSIS installer it carries (the installer tests check the
# uninstaller it writes).
#   check-signatures.sh BUILD_DIR
set -uo pipefail
build=$1
cert=$(sed -n 's/^TALVEX_SIGN_CERT:FILEPATH=//p' "$build/CMakeCache.txt")
[ -n "$cert" ] || cert="$build/signing/publisher.crt"
failures=0
for file in TalLib.dll TalUpPs.exe TalUpSvc.exe TalUpControl.exe TalTray.exe TalUpConfig.exe TalUpUp.exe \
    ../installer/setup.exe ../installer/setup-payload.exe; do
    if osslsigncode verify -CAfile "$cert" -in "$build/bin/$file" >/dev/null 2>&1; then
        echo "ok    $file signed"
    else
        echo "FAIL  $file carries no valid signature of the publisher"
        failures=$((failures + 1))
    fi
done
exit $((failures > 0))
