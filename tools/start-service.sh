#!/usr/bin/env bash
# Starts the local Talvex service on the real ports (inside the private
# network) and waits until it answers. Writes its process id next to the log.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
log=$1
certs=${TALVEX_TEST_CERTS:?run through netns-run.sh}
fifo=$(mktemp -u /tmp/talvex-ready.XXXXXX)
mkfifo "$fifo"
/usr/bin/python3 "$here/talvex_service.py" --cert "$certs/server.pem" --key "$certs/server-key.pem" \
    --stranger-cert "$certs/stranger.pem" --stranger-key "$certs/stranger-key.pem" \
    --log "$log" > "$fifo" 2>"$log.err" &
pid=$!
echo "$pid" > "${log%.log}.pid"
if ! timeout 20 head -n 1 "$fifo" | grep -q ready; then
    echo "start-service.sh: the local Talvex service did not start" >&2
    cat "$log.err" >&2
    kill "$pid" 2>/dev/null
    rm -f "$fifo"
    exit 1
fi
rm -f "$fifo"
