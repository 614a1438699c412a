#!/usr/bin/python3
"""Loads the T-SQL test server: the PO tables in the office's types and the tests' data, copied
from SQLite files that the tests then compare against, and the SQL logins the tests connect as.

    tds_setup.py --port P --admin USER --admin-password PW --pg-port P --out DIR/connection.json

Two databases, each with its SQLite twin beside connection.json:
  podb    the database tests' small fixed set (tests/fixtures/po-test-data.sql), fixture.db
  demodb  450 demo POs (assets/demo/make_demo_db.py) with times of day on some dates and more
          NULLs, demo.db: what the workbooks, batches and the window are compared on.
Logins: "tolvar", whose password holds ';', braces and '=', with SELECT on both databases' tables;
"po;{reader}", a name that needs braces, with the same rights; "norights", a user of podb with
no rights on its tables.
"""
import argparse
import datetime
import decimal
import json
import os
import sqlite3
import subprocess
import sys

import pyodbc

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
PASSWORD = "po;{pass}=1 x"
READER = "po;{reader}"
NO_RIGHTS = ("norights", "norights-pw1")

DATES = {"PO発行日", "希望納期"}
DECIMALS = {"ロス率", "数量", "下代", "上代"}
INTEGERS = {"運賃請求", "PO行"}
BITS = {"ロス請求の有無"}


def braced(value):
    return "{" + value.replace("}", "}}") + "}"


def connect(port, user, password, database=None):
    text = (f"DRIVER={{FreeTDS}};SERVER=127.0.0.1;PORT={port};UID={braced(user)};PWD={braced(password)};"
            "TDS_Version=7.4;ClientCharset=UTF-8;")
    if database:
        text += f"DATABASE={database};"
    return pyodbc.connect(text, autocommit=True)


def statements(path):
    with open(path, encoding="utf-8") as f:
        text = "\n".join(line for line in f.read().splitlines() if not line.lstrip().startswith("--"))
    return [s.strip() for s in text.split(";") if s.strip()]


def fixture_db(path):
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    with open(os.path.join(TOP, "assets", "demo", "schema-sqlite.sql"), encoding="utf-8") as f:
        db.executescript(f.read())
    with open(os.path.join(TOP, "tests", "fixtures", "po-test-data.sql"), encoding="utf-8") as f:
        db.executescript(f.read())
    db.commit()
    db.close()


def demo_db(path):
    # More POs than the demo's 300: a batch of 400 is killed part-way in the tests.
    subprocess.run([sys.executable, os.path.join(TOP, "assets", "demo", "make_demo_db.py"), path, "--headers", "450"],
                   check=True)
    db = sqlite3.connect(path)
    # Times of day on some dates, a PO without an issue date or a kind, prices left empty: values
    # an office's data has and the demo's generator does not make.
    db.executescript("""
        UPDATE TBL_PO_H SET 希望納期 = 希望納期 || ' 09:45:00' WHERE rowid % 7 = 0 AND 希望納期 IS NOT NULL;
        UPDATE TBL_PO_H SET PO発行日 = PO発行日 || ' 16:20:30' WHERE rowid % 11 = 0;
        UPDATE TBL_PO_H SET PO発行日 = NULL WHERE rowid % 53 = 0;
        UPDATE TBL_PO_H SET 発注区分 = NULL WHERE rowid % 61 = 0;
        UPDATE TBL_PO_M SET 下代 = NULL WHERE rowid % 97 = 0;
        UPDATE TBL_PO_M SET 上代 = NULL WHERE rowid % 89 = 0;
    """)
    db.commit()
    db.close()


def tsql_value(column, value):
    if value is None:
        return None
    if column in DATES:
        text = str(value).replace("-", "/")
        fmt = "%Y/%m/%d %H:%M:%S" if " " in text else "%Y/%m/%d"
        return datetime.datetime.strptime(text, fmt)
    if column in DECIMALS:
        return decimal.Decimal(repr(value) if isinstance(value, float) else str(value))
    if column in INTEGERS:
        return int(value)
    if column in BITS:
        return bool(value)
    return str(value)


def copy_table(source, target, table):
    rows = source.execute(f"SELECT * FROM {table}")
    columns = [d[0] for d in rows.description]
    insert = f"INSERT INTO {table} ({', '.join(columns)}) VALUES ({', '.join('?' * len(columns))})"
    cursor = target.cursor()
    batch = [[tsql_value(c, v) for c, v in zip(columns, row)] for row in rows.fetchall()]
    cursor.executemany(insert, batch)
    return len(batch)


def load(admin, port, args, name, sqlite_path):
    cursor = admin.cursor()
    cursor.execute(f"CREATE DATABASE {name}")
    db = connect(port, args.admin, args.admin_password, name)
    for statement in statements(os.path.join(TOP, "assets", "demo", "schema-tsql.sql")):
        db.cursor().execute(statement)
    source = sqlite3.connect(sqlite_path)
    counts = {t: copy_table(source, db, t) for t in ("TBL_PO_H", "TBL_PO_M")}
    for login in ("tolvar", READER):
        db.cursor().execute(f"CREATE USER [{login}] FOR LOGIN [{login}]")
        db.cursor().execute(f"GRANT SELECT ON TBL_PO_H TO [{login}]")
        db.cursor().execute(f"GRANT SELECT ON TBL_PO_M TO [{login}]")
    if name == "podb":
        db.cursor().execute(f"CREATE USER {NO_RIGHTS[0]} FOR LOGIN {NO_RIGHTS[0]}")
    db.close()
    return counts


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", type=int, required=True)
    ap.add_argument("--pg-port", type=int, required=True)
    ap.add_argument("--admin", required=True)
    ap.add_argument("--admin-password", required=True)
    ap.add_argument("--out", required=True)
    args = ap.parse_args()
    folder = os.path.dirname(os.path.abspath(args.out))
    fixture, demo = os.path.join(folder, "fixture.db"), os.path.join(folder, "demo.db")
    fixture_db(fixture)
    demo_db(demo)

    admin = connect(args.port, args.admin, args.admin_password)
    cursor = admin.cursor()
    for login, password in (("tolvar", PASSWORD), (READER, PASSWORD), NO_RIGHTS):
        cursor.execute(f"CREATE LOGIN [{login}] WITH PASSWORD = '{password.replace(chr(39), chr(39) * 2)}'")
    counts = {name: load(admin, args.port, args, name, path) for name, path in (("podb", fixture), ("demodb", demo))}
    admin.close()
    with open(args.out, "w", encoding="utf-8") as f:
        json.dump({"host": "127.0.0.1", "port": args.port, "pgPort": args.pg_port,
                   "user": "tolvar", "password": PASSWORD, "reader": READER,
                   "noRightsUser": NO_RIGHTS[0], "noRightsPassword": NO_RIGHTS[1],
                   "adminUser": args.admin, "adminPassword": args.admin_password,
                   "databases": {"fixture": "podb", "demo": "demodb"},
                   "sqlite": {"fixture": fixture, "demo": demo}, "rows": counts}, f, ensure_ascii=False, indent=1)


if __name__ == "__main__":
    main()
