#!/usr/bin/env bash
# Certificates for the test servers' TLS, made afresh in DIR: an authority (ca.crt) and the
# server's certificate it signed for 127.0.0.1 and localhost (server.crt, server.key), and an
# authority that signed nothing of theirs (other-ca.crt), which must not be trusted for them.
#   tests/support/make-test-ca.sh DIR
set -euo pipefail
dir=${1:?folder}
mkdir -p "$dir"
cd "$dir"
subject() { openssl req -newkey rsa:2048 -nodes -subj "$@" 2>/dev/null; }
subject "/CN=Tolvar test authority" -x509 -days 30 -keyout ca.key -out ca.crt
subject "/CN=Another authority" -x509 -days 30 -keyout other-ca.key -out other-ca.crt
subject "/CN=127.0.0.1" -keyout server.key -out server.csr
printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >server.ext
openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 30 -extfile server.ext \
  -out server.crt 2>/dev/null
chmod 0600 server.key
rm -f ca.key other-ca.key server.csr server.ext ca.srl
