#!/usr/bin/env bash
# A private PostgreSQL server for the tests, on a free loopback port, with password authentication,
# TLS on offer (the authority's certificate in DIR/ca.crt), the PO schema and the test data. "start DIR" writes DIR/connection ("host:port db user
# password") for the tests; "stop DIR" stops the server and removes the cluster. The cluster lies
# in DIR; as root it is run as the postgres user (initdb refuses root) and lies in a folder of its
# own under /tmp that DIR names, since postgres may not reach into the build tree (a clone in
# /root or in a folder only root may enter).
set -euo pipefail
action=${1:?start or stop}
dir=$(realpath -m "${2:?folder}")
src=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -n "$bin" ] || { echo "PostgreSQL server binaries not found (apt-get install postgresql)"; exit 1; }
runas=()
if [ "$(id -u)" = 0 ]; then runas=(runuser -u postgres --); fi
cd /

stop() {
  local cluster=$dir
  [ -f "$dir/cluster" ] && cluster=$(cat "$dir/cluster")
  if [ -f "$cluster/data/postmaster.pid" ]; then
    "${runas[@]}" "$bin/pg_ctl" -D "$cluster/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  [ "$cluster" != "$dir" ] && rm -rf "$cluster"
  rm -rf "$dir"
}

case "$action" in
stop) stop ;;
start)
  stop
  mkdir -p "$dir"
  cluster=$dir
  if [ "$(id -u)" = 0 ]; then
    cluster=$(mktemp -d /tmp/tolvar-pg.XXXXXX)
    echo "$cluster" > "$dir/cluster"
  fi
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  password=tolvar-test
  echo "$password" > "$cluster/pwfile"
  [ "$(id -u)" = 0 ] && chown -R postgres "$cluster"
  "${runas[@]}" "$bin/initdb" -D "$cluster/data" -U tolvar -E UTF8 --locale=C -A scram-sha-256 \
      --pwfile="$cluster/pwfile" >/dev/null
  # TLS on offer, with a certificate of a test authority (DIR/ca.crt) for the encryption tests.
  "$src/tests/support/make-test-ca.sh" "$cluster/tls"
  cp "$cluster/tls/ca.crt" "$cluster/tls/other-ca.crt" "$dir/"
  [ "$(id -u)" = 0 ] && chown -R postgres "$cluster/tls"
  "${runas[@]}" "$bin/pg_ctl" -D "$cluster/data" -l "$cluster/server.log" -w \
      -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$cluster -c fsync=off \
          -c ssl=on -c ssl_cert_file=$cluster/tls/server.crt -c ssl_key_file=$cluster/tls/server.key" start >/dev/null
  export PGPASSWORD=$password
  psql=("$bin/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U tolvar)
  "${psql[@]}" -d postgres -c "CREATE DATABASE podb" >/dev/null
  "${psql[@]}" -d podb -f "$src/assets/demo/schema-postgres.sql" >/dev/null
  "${psql[@]}" -d podb -f "$src/tests/fixtures/po-test-data.sql" >/dev/null
  echo "127.0.0.1:$port podb tolvar $password" > "$dir/connection"
  echo "PostgreSQL test server on 127.0.0.1:$port"
  ;;
*) echo "usage: $0 start|stop DIR"; exit 2 ;;
esac
