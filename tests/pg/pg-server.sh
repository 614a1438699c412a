#!/usr/bin/env bash
# A private PostgreSQL server for the tests: a cluster in a folder of the build tree, on a free
# loopback port, run as the postgres user (initdb refuses root), with password authentication,
# the PO schema and the test data. "start DIR" writes DIR/connection ("host:port db user
# password") for the tests; "stop DIR" stops the server and removes the cluster.
set -euo pipefail
action=${1:?start or stop}
dir=${2:?folder}
src=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -n "$bin" ] || { echo "PostgreSQL server binaries not found (apt-get install postgresql)"; exit 1; }
runas=()
if [ "$(id -u)" = 0 ]; then runas=(runuser -u postgres --); fi

stop() {
  if [ -f "$dir/data/postmaster.pid" ]; then
    "${runas[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
}

case "$action" in
stop) stop ;;
start)
  stop
  mkdir -p "$dir"
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  password=tolvar-test
  echo "$password" > "$dir/pwfile"
  [ "$(id -u)" = 0 ] && chown -R postgres "$dir"
  "${runas[@]}" "$bin/initdb" -D "$dir/data" -U tolvar -E UTF8 --locale=C -A scram-sha-256 \
      --pwfile="$dir/pwfile" >/dev/null
  "${runas[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
      -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$dir -c fsync=off" start >/dev/null
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
