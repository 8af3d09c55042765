#!/usr/bin/env bash
# Runs the TLS test program against loopback TLS servers of its own: a test authority, its
# certificates and the servers (TlsTestServer.py) are made for this run in a folder of the build
# and removed afterwards. The program adds the authority to the Wine prefix's own root store (and
# takes it out again); nothing of the machine's trust is touched.
set -euo pipefail
exe=${1:?test program}
build=${QM_BUILD:?QM_BUILD names the build folder}
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3
[ -x "$python" ] || python=python3
work=$(mktemp -d "$build/tls.XXXXXX")
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
quiet() { "$@" >/dev/null 2>&1; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout ca.key -out ca.pem \
  -subj "/CN=Quillmoor Test Authority" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign"
openssl x509 -in ca.pem -outform der -out ca.der
# leaf NAME SUBJECT-ALT-NAME: a server certificate of the test authority.
leaf() {
  quiet openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2"
  printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n' \
    "$3" >"$1.ext"
  quiet openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile "$1.ext" -out "$1.pem"
}
# Both forms of the name: Windows matches the address entry, Wine only the name entry.
leaf good 127.0.0.1 IP:127.0.0.1,DNS:127.0.0.1
leaf wrongname elsewhere.invalid DNS:elsewhere.invalid
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout stranger.key -out stranger.pem \
  -subj "/CN=127.0.0.1" -addext "subjectAltName=IP:127.0.0.1"
"$python" "$here/TlsTestServer.py" "$work" &
server=$!
for _ in $(seq 1 100); do [ -f ports ] && break; sleep 0.1; done
[ -f ports ] || { echo "tls-test: the TLS servers did not start" >&2; exit 1; }
export QM_TLS_DIR=$work
"$here/../../scripts/wine-run.sh" "$exe"
