#!/usr/bin/env bash
# Signs one Windows program or DLL in place with Authenticode (SHA-256):
#   sign-file.sh CERT.pem KEY.pem FILE
# Called by the build for every shipped binary and by makensis for the
# installer and its uninstaller.
set -euo pipefail
cert=$1 key=$2 file=$3
signed="$file.signing"
osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "Talvex Updater" \
    -in "$file" -out "$signed" >/dev/null
mv -f "$signed" "$file"
