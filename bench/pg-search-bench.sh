#!/usr/bin/env bash
# search_bench on PostgreSQL: a private server (tests/pg/pg-server.sh), the benchmark database's
# PO headers loaded into it, search_bench --pg against it, the server stopped.
#   bench/pg-search-bench.sh BUILD_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?build folder}" && pwd)
work=$build/bench-pg
"$top/tests/pg/pg-server.sh" start "$work" >/dev/null
trap '"$top/tests/pg/pg-server.sh" stop "$work"' EXIT
read -r hostport db user password <"$work/connection"
export PGPASSWORD=$password
psql=(psql -X -q -v ON_ERROR_STOP=1 -h "${hostport%:*}" -p "${hostport#*:}" -U "$user" -d "$db")
big=$build/bench-data/big.db
columns=$(sqlite3 "$big" "select group_concat(name, ', ') from pragma_table_info('TBL_PO_H')")
started=$(date +%s)
"${psql[@]}" -c "TRUNCATE TBL_PO_M, TBL_PO_H"
sqlite3 -csv "$big" "select * from TBL_PO_H" | "${psql[@]}" -c "\\copy TBL_PO_H ($columns) FROM STDIN CSV"
"${psql[@]}" -c "ANALYZE TBL_PO_H"
echo "PostgreSQL: $(("$(date +%s)" - started)) s to load the benchmark's 1 000 000 PO headers"
"$build/bench/search_bench" --pg "$hostport" "$db" "$user" "$password"
