#!/usr/bin/env bash
# Makes a throwaway certificate authority and a server certificate for the
# four service host names in folder $1 (ca.pem, server.pem, server-key.pem),
# and a second server certificate from another authority that nobody trusts
# (stranger.pem, stranger-key.pem). Generated at every run, never committed.
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Talvex Test Authority" \
    -keyout ca-key.pem -out ca.pem \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=update.talvex.test" \
    -keyout server-key.pem -out server.csr 2>/dev/null
cat > server.ext <<EXT
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:update.talvex.test,DNS:checkip.talvex.test,DNS:www.talvex.test,DNS:download.talvex.test,IP:127.0.0.1
EXT
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial -days 2 \
    -extfile server.ext -out server.pem 2>/dev/null
# The same names, signed by an authority that is never added to the bundle.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Untrusted Test Authority" \
    -keyout stranger-ca-key.pem -out stranger-ca.pem \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=update.talvex.test" \
    -keyout stranger-key.pem -out stranger.csr 2>/dev/null
openssl x509 -req -in stranger.csr -CA stranger-ca.pem -CAkey stranger-ca-key.pem -CAcreateserial -days 2 \
    -extfile server.ext -out stranger.pem 2>/dev/null
rm -f server.csr stranger.csr server.ext ca.srl stranger-ca.srl
