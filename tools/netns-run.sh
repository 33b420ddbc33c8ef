#!/usr/bin/env bash
# Runs a command inside a private network and mount namespace: loopback only,
# the four service host names mapped to 127.0.0.1, and a throwaway test
# certificate authority trusted through the system CA bundle. Nothing the
# command sends can leave this machine. Needs root.
#
# Inside, TALVEX_TEST_CERTS names the folder with ca.pem, server.pem and
# server-key.pem.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
    echo "netns-run.sh: must run as root (it creates namespaces)" >&2
    exit 1
fi
if [ "${1:-}" != "--inside" ]; then
    exec unshare --net --mount --propagation private -- "$0" --inside "$@"
fi
shift

here=$(cd "$(dirname "$0")" && pwd)
ip link set lo up

work=$(mktemp -d /tmp/talvex-netns.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$here/make-test-ca.sh" "$work/certs"

cat > "$work/hosts" <<HOSTS
127.0.0.1 localhost
127.0.0.1 checkip.talvex.test
127.0.0.1 update.talvex.test
127.0.0.1 www.talvex.test
127.0.0.1 download.talvex.test
HOSTS
mount --bind "$work/hosts" /etc/hosts

bundle=/etc/ssl/certs/ca-certificates.crt
cat "$bundle" "$work/certs/ca.pem" > "$work/ca-bundle.crt"
mount --bind "$work/ca-bundle.crt" "$bundle"

export TALVEX_TEST_CERTS="$work/certs"
set +e
"$@"
rc=$?
set -e
exit $rc
