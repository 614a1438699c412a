#!/usr/bin/env bash
# search_bench on the T-SQL test server: a private server (tests/tds/tds-server.sh), a database of
# the PO tables in the office's types with the benchmark's 1 000 000 PO headers copied into it
# through the server's PostgreSQL side (a T-SQL INSERT a row would take hours), search_bench --tds
# against it beside FreeTDS's own client, the server stopped.
#   bench/tds-search-bench.sh BUILD_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?build folder}" && pwd)
work=$build/bench-tds
"$top/tests/tds/tds-server.sh" start "$work" >/dev/null
trap '"$top/tests/tds/tds-server.sh" stop "$work"' EXIT
read_json() { /usr/bin/python3 -c "import json,sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])" "$work/connection.json" "$1"; }
port=$(read_json port)
pg_port=$(read_json pgPort)
admin=$(read_json adminUser)
admin_password=$(read_json adminPassword)
user=$(read_json user)
password=$(read_json password)
cluster=$work/cluster
[ -f "$work/cluster-path" ] && cluster=$(cat "$work/cluster-path")
runas=()
[ "$(id -u)" = 0 ] && runas=(runuser -u postgres --)
big=$build/bench-data/big.db
started=$(date +%s)

# The tables as T-SQL makes them, and the login's rights, over TDS.
/usr/bin/python3 - "$port" "$admin" "$admin_password" "$user" "$top/assets/demo/schema-tsql.sql" <<'PY'
import sys, pyodbc
port, admin, password, user, schema = sys.argv[1:6]
db = pyodbc.connect(f"DRIVER={{FreeTDS}};SERVER=127.0.0.1;PORT={port};UID={admin};PWD={password};"
                    "TDS_Version=7.4;ClientCharset=UTF-8", autocommit=True)
db.cursor().execute("CREATE DATABASE benchdb")
db.cursor().execute("USE benchdb")
text = "\n".join(l for l in open(schema, encoding="utf-8").read().splitlines() if not l.lstrip().startswith("--"))
for statement in (s.strip() for s in text.split(";")):
    if statement:
        db.cursor().execute(statement)
db.cursor().execute(f"CREATE USER [{user}] FOR LOGIN [{user}]")
db.cursor().execute(f"GRANT SELECT ON TBL_PO_H TO [{user}]")
PY
# The rows through PostgreSQL's COPY into the same tables, then the planner's statistics.
columns=$(sqlite3 "$big" "select group_concat(lower(name), ', ') from pragma_table_info('TBL_PO_H')")
sqlite3 -csv "$big" "select * from TBL_PO_H" | "${runas[@]}" "$cluster/server/bin/psql" -X -q -v ON_ERROR_STOP=1 \
  -h "$cluster" -p "$pg_port" -U "$admin" -d babelfish_db \
  -c "\\copy benchdb_dbo.tbl_po_h ($columns) FROM STDIN CSV"
"${runas[@]}" "$cluster/server/bin/psql" -X -q -h "$cluster" -p "$pg_port" -U "$admin" -d babelfish_db \
  -c "ANALYZE benchdb_dbo.tbl_po_h"
echo "T-SQL server: $(("$(date +%s)" - started)) s to load the benchmark's 1 000 000 PO headers"
"$build/bench/search_bench" --tds "127.0.0.1,$port" benchdb "$user" "$password"
