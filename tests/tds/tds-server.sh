#!/usr/bin/env bash
# A private T-SQL server for the tests (Babelfish, built by build-babelfish.sh into the cache) on
# free loopback ports, with SQL logins and the PO tables in the office's types, loaded with the
# tests' data (tds_setup.py). "start DIR" writes DIR/connection.json for the tests; "stop DIR"
# stops the server and removes its cluster. As root the server runs as the postgres user
# (PostgreSQL refuses root), from a copy of the build in a folder of its own under /tmp, since
# postgres may not reach into root's cache.
set -euo pipefail
action=${1:?start or stop}
dir=$(realpath -m "${2:?folder}")
here=$(cd "$(dirname "$0")" && pwd)
runas=()
if [ "$(id -u)" = 0 ]; then runas=(runuser -u postgres --); fi
cd /

stop() {
  local cluster=$dir/cluster
  [ -f "$dir/cluster-path" ] && cluster=$(cat "$dir/cluster-path")
  if [ -f "$cluster/data/postmaster.pid" ]; then
    "${runas[@]}" "$cluster/server/bin/pg_ctl" -D "$cluster/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$cluster" "$dir"
}

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

case "$action" in
stop) stop ;;
start)
  stop
  prefix=$("$here/build-babelfish.sh")
  mkdir -p "$dir"
  cluster=$dir/cluster
  if [ "$(id -u)" = 0 ]; then
    cluster=$(mktemp -d /tmp/tolvar-tds.XXXXXX)
    echo "$cluster" > "$dir/cluster-path"
  fi
  mkdir -p "$cluster"
  cp -a "$prefix" "$cluster/server"
  bin=$cluster/server/bin
  pg_port=$(free_port)
  tds_port=$(free_port)
  admin=babelfish_admin
  admin_password=babelfish-test
  echo "$admin_password" > "$cluster/pwfile"
  [ "$(id -u)" = 0 ] && chown -R postgres "$cluster"
  "${runas[@]}" "$bin/initdb" -D "$cluster/data" -U "$admin" -E UTF8 --locale=C --auth-local=trust \
      --auth-host=md5 --pwfile="$cluster/pwfile" >"$cluster/initdb.log" 2>&1 \
    || { cat "$cluster/initdb.log"; exit 1; }
  # TDS logins are checked with md5: the passwords are kept in that form.
  # TLS on offer to T-SQL clients too, with a certificate of a test authority (DIR/ca.crt).
  "$here/../support/make-test-ca.sh" "$cluster/tls"
  cp "$cluster/tls/ca.crt" "$cluster/tls/other-ca.crt" "$dir/"
  [ "$(id -u)" = 0 ] && chown -R postgres "$cluster/tls"
  cat >>"$cluster/data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
port = $pg_port
unix_socket_directories = '$cluster'
fsync = off
password_encryption = md5
shared_preload_libraries = 'babelfishpg_tds'
babelfishpg_tds.listen_addresses = '127.0.0.1'
babelfishpg_tds.port = $tds_port
ssl = on
ssl_cert_file = '$cluster/tls/server.crt'
ssl_key_file = '$cluster/tls/server.key'
EOF
  "${runas[@]}" "$bin/pg_ctl" -D "$cluster/data" -l "$cluster/server.log" -w start >/dev/null \
    || { cat "$cluster/server.log"; exit 1; }
  # The extensions' notices and warnings while they install are no news.
  psql=("${runas[@]}" env PGOPTIONS="-c client_min_messages=error" "$bin/psql" -X -q -v ON_ERROR_STOP=1
        -h "$cluster" -p "$pg_port" -U "$admin")
  "${psql[@]}" -d postgres -c "CREATE DATABASE babelfish_db OWNER $admin" >/dev/null
  "${psql[@]}" -d babelfish_db >/dev/null <<EOF
CREATE EXTENSION IF NOT EXISTS babelfishpg_tds CASCADE;
ALTER SYSTEM SET babelfishpg_tsql.database_name = 'babelfish_db';
ALTER SYSTEM SET babelfishpg_tsql.migration_mode = 'multi-db';
SELECT pg_reload_conf();
CALL sys.initialize_babelfish('$admin');
EOF
  /usr/bin/python3 "$here/tds_setup.py" --port "$tds_port" --admin "$admin" --admin-password "$admin_password" \
    --pg-port "$pg_port" --out "$dir/connection.json"
  echo "T-SQL test server on 127.0.0.1:$tds_port (PostgreSQL side on $pg_port)"
  ;;
*) echo "usage: $0 start|stop DIR"; exit 2 ;;
esac
