#!/usr/bin/python3
"""tolvar-po against the T-SQL test server, as the office's IT would try it: every way the settings
can name SQL Server (the OLE DB provider names, a DSN, a whole connection string, with and without
DBUSER_NM/PASSWORD), the searches' lists and every demo PO's workbook compared with those made from
the same data in SQLite, a batch with PDFs; and the failures: a wrong password, an unknown
database, a login without rights, a missing table and column, a server that is not there or never
answers, and the server killed in the middle of a batch of 400.

usage: tds_cli_test.py TOLVAR_PO SERVER_DIR WORK_DIR
SERVER_DIR is tds-server.sh's folder (connection.json and the SQLite twins beside it).
"""
import hashlib
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time

import pyodbc

TOLVAR_PO, SERVER_DIR, WORK = sys.argv[1:4]
HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = json.load(open(os.path.join(SERVER_DIR, "connection.json"), encoding="utf-8"))
PORT = SERVER["port"]
failures = []
shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)


def check(ok, what, detail=""):
    print(("ok   " if ok else "FAIL ") + what + ("" if ok else "\n     " + str(detail)[:2000]), flush=True)
    if not ok:
        failures.append(what)


def odbc_folder():
    """A driver list and DSNs of the test's own (ODBCSYSINI): FreeTDS, and system DSNs for the demo
    database, one of them named like a file DSN."""
    folder = os.path.join(WORK, "odbc")
    os.makedirs(folder, exist_ok=True)
    driver = subprocess.run(["odbcinst", "-q", "-d", "-n", "FreeTDS"], capture_output=True, text=True).stdout
    path = re.search(r"^Driver\s*=\s*(.+)$", driver, re.M).group(1).strip()
    with open(os.path.join(folder, "odbcinst.ini"), "w") as f:
        f.write(f"[FreeTDS]\nDriver={path}\n")
    with open(os.path.join(folder, "odbc.ini"), "w") as f:
        for name in ("PODSN", "PO.dsn"):
            f.write(f"[{name}]\nDriver=FreeTDS\nServer=127.0.0.1\nPort={PORT}\nTDS_Version=7.4\n"
                    f"ClientCharset=UTF-8\nDatabase={SERVER['databases']['demo']}\n\n")
    return folder


ODBC = odbc_folder()


def settings(name, provider, server, db="", user="", password="", timeout=20, save=""):
    """A settings file in the office's encoding (CP932, CRLF) where the text allows, else UTF-8."""
    folder = os.path.join(WORK, name)
    os.makedirs(folder, exist_ok=True)
    out = save or os.path.join(folder, "out") + "/"
    os.makedirs(out, exist_ok=True)
    text = (f"[PO_DB]\r\nPROVIDER={provider}\r\nSERVER_NM={server}\r\nDB_NM={db}\r\nDBUSER_NM={user}\r\n"
            f"PASSWORD={password}\r\nCONECT_TIMEOUT={timeout}\r\n\r\n[全般]\r\nPO_SAVE_FOLDER={out}\r\n")
    path = os.path.join(folder, "tolvar.ini")
    with open(path, "wb") as f:
        f.write(text.encode("utf-8"))
    return path, out


def tolvar_po(ini, *args, timeout=600):
    env = dict(os.environ, ODBCSYSINI=ODBC, LANG="C.UTF-8")
    started = time.monotonic()
    p = subprocess.run([TOLVAR_PO, "--settings", ini, *args], capture_output=True, text=True, env=env,
                       timeout=timeout)
    return p, time.monotonic() - started


def sha(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def demo_ini(name, provider="SQLOLEDB", user=SERVER["user"], password=SERVER["password"], db=None):
    return settings(name, provider, f"127.0.0.1,{PORT}", db if db is not None else SERVER["databases"]["demo"],
                    user, password)


SQLITE_DEMO, _ = settings("sqlite-demo", "SQLite", SERVER["sqlite"]["demo"])
SEARCHES = [
    ["--staff", "12"],
    ["--staff", "1"],
    ["--kind", "1"],
    ["--kind", "0", "--customer", "A0"],
    ["--customer", "B1", "--from", "2000/01/01", "--to", "2100/12/31"],
]


def sqlite_list(args):
    p, _ = tolvar_po(SQLITE_DEMO, "--list", *args)
    assert p.returncode == 0, p.stderr
    return p.stdout


def dated_searches():
    """Date ranges whose ends fall on issue dates that carry a time of day in the data."""
    out = subprocess.run(["sqlite3", SERVER["sqlite"]["demo"],
                          "SELECT substr(PO発行日, 1, 10) FROM TBL_PO_H WHERE PO発行日 LIKE '% %' LIMIT 2"],
                         capture_output=True, text=True).stdout.split()
    assert len(out) == 2, out
    return [["--from", out[0], "--to", out[1]] if out[0] <= out[1] else ["--from", out[1], "--to", out[0]],
            ["--staff", "", "--from", out[0], "--to", out[0]]]


def provider_forms():
    pw, user, db = SERVER["password"], SERVER["user"], SERVER["databases"]["demo"]
    whole = (f"DRIVER={{FreeTDS}};SERVER=127.0.0.1;PORT={PORT};TDS_Version=7.4;ClientCharset=UTF-8;"
             f"DATABASE={db};")
    forms = [(name, demo_ini("form-" + name.replace(".", "_"), name))
             for name in ("SQLOLEDB", "SQLOLEDB.1", "SQLNCLI11", "SQLNCLI10", "MSOLEDBSQL", "MSOLEDBSQL19")]
    forms += [
        ("a login whose name needs braces", demo_ini("form-reader", user=SERVER["reader"])),
        ("ODBC with a DSN and DBUSER_NM/PASSWORD", settings("form-dsn", "ODBC", "PODSN", "", user, pw)),
        ("ODBC with a DSN named like a file DSN", settings("form-dsn-file", "ODBC", "PO.dsn", "", user, pw)),
        ("ODBC with a DSN, DB_NM naming the database", settings("form-dsn-db", "ODBC", "PODSN", db, user, pw)),
        # Written as FreeTDS reads braces: to the first "};", a '}' single.
        ("ODBC with a whole connection string holding the login",
         settings("form-string", "ODBC", whole + f"UID={user};PWD={{{pw}}}")),
        ("ODBC with a whole connection string and DBUSER_NM/PASSWORD",
         settings("form-string-login", "ODBC", whole, "", user, pw)),
        ("ODBC with a connection string whose own login DBUSER_NM/PASSWORD replace",
         settings("form-string-both", "ODBC", whole + "UID=nobody;PWD=wrong", "", user, pw)),
    ]
    expected = sqlite_list(SEARCHES[0])
    for label, (ini, _) in forms:
        p, _ = tolvar_po(ini, "--list", *SEARCHES[0])
        check(p.returncode == 0 and p.stdout == expected, f"{label}: --list equals SQLite's",
              f"{p.returncode} {p.stderr}\n{p.stdout[:300]}\nexpected {expected[:300]}")


def lists():
    ini, _ = demo_ini("lists")
    for args in SEARCHES + dated_searches():
        p, _ = tolvar_po(ini, "--list", *args)
        expected = sqlite_list(args)
        check(p.returncode == 0 and p.stdout == expected and expected,
              f"--list {' '.join(args)}: {len(expected.splitlines())} POs, as SQLite lists them",
              f"{p.returncode} {p.stderr}\n{p.stdout[:500]}\nexpected {expected[:500]}")
    # Issue dates print as yyyy/MM/dd whatever the column holds (datetime, with a time of day too).
    p, _ = tolvar_po(ini, "--list", "--staff", "")
    dates = [line.split("\t")[2] for line in p.stdout.splitlines()]
    check(dates and all(re.fullmatch(r"(\d{4}/\d{2}/\d{2})?", d) for d in dates),
          "--list prints every issue date as yyyy/MM/dd", dates[:20])


def workbooks():
    numbers = subprocess.run(["sqlite3", SERVER["sqlite"]["demo"], "SELECT PO番号 FROM TBL_PO_H ORDER BY 1"],
                             capture_output=True, text=True).stdout.split()
    ini, out = demo_ini("workbooks")
    ref_ini, ref_out = settings("workbooks-sqlite", "SQLite", SERVER["sqlite"]["demo"])
    p, seconds = tolvar_po(ini, *numbers)
    r, _ = tolvar_po(ref_ini, *numbers)
    check(p.returncode == 0 and r.returncode == 0, f"{len(numbers)} workbooks made in one batch ({seconds:.1f} s)",
          p.stderr[-2000:] + r.stderr[-2000:])
    differing = [n for n in numbers if not os.path.exists(out + n + ".xls") or
                 sha(out + n + ".xls") != sha(ref_out + n + ".xls")]
    check(not differing, f"every workbook byte for byte the one SQLite's copy of the data gives", differing[:10])

    # A batch with PDFs, the PDFs' text the same as from SQLite.
    few = numbers[:2]
    p, _ = tolvar_po(ini, "--pdf", *few)
    r, _ = tolvar_po(ref_ini, "--pdf", *few)
    texts = [subprocess.run(["pdftotext", "-layout", d + n + ".pdf", "-"], capture_output=True, text=True).stdout
             for n in few for d in (out, ref_out)]
    check(p.returncode == 0 and r.returncode == 0 and texts[0] and texts[0] == texts[1] and texts[2] == texts[3],
          "PDFs from the T-SQL server read as those from SQLite", p.stderr[-1000:])


def failure(label, ini, args, states, number=None, seconds=None):
    p, took = tolvar_po(ini, *args, timeout=120)
    numbers = re.findall(r"\((-?\d+)\)\s*$", p.stderr, re.M)
    ok = p.returncode == 1 and any(s in p.stderr for s in states) and numbers
    if number is not None:
        ok = ok and str(number) in numbers
    if seconds is not None:
        ok = ok and took < seconds
    check(ok, f"{label}: status 1, the driver's state {'/'.join(states)} and a number"
          + (f", within {seconds} s" if seconds else ""), f"{p.returncode} {took:.1f} s {p.stderr}")
    return p


def failures_of_the_server():
    db = SERVER["databases"]["fixture"]
    failure("wrong password", settings("f-password", "SQLOLEDB", f"127.0.0.1,{PORT}", db, SERVER["user"],
                                       "wrong")[0], ["--list"], ["[28000]", "[08001]", "[42000]"])
    failure("unknown database", settings("f-db", "SQLOLEDB", f"127.0.0.1,{PORT}", "nosuchdb", SERVER["user"],
                                         SERVER["password"])[0], ["--list"], ["[08004]", "[42000]", "[08001]"])
    no_rights = settings("f-rights", "SQLOLEDB", f"127.0.0.1,{PORT}", db, SERVER["noRightsUser"],
                         SERVER["noRightsPassword"])[0]
    failure("a login without rights on the tables: the search", no_rights, ["--list"], ["[42000]"])
    failure("a login without rights on the tables: a workbook", no_rights, ["P0001"], ["[42000]"])
    admin = pyodbc.connect(f"DRIVER={{FreeTDS}};SERVER=127.0.0.1;PORT={PORT};UID={SERVER['adminUser']};"
                           f"PWD={SERVER['adminPassword']};TDS_Version=7.4;ClientCharset=UTF-8", autocommit=True)
    cursor = admin.cursor()
    # A database without the header table, and one whose header table lacks most of its columns.
    for name, statements in (("notabledb", ["CREATE TABLE TBL_PO_M (PO番号 varchar(20), PO行 int)"]),
                             ("fewcolumndb", ["CREATE TABLE TBL_PO_M (PO番号 varchar(20), PO行 int)",
                                            "CREATE TABLE TBL_PO_H (PO番号 varchar(20), 発注区分 char(1))",
                                            "INSERT INTO TBL_PO_H VALUES ('P0001', '0')",
                                            "INSERT INTO TBL_PO_M VALUES ('P0001', 1)"])):
        cursor.execute(f"IF DB_ID('{name}') IS NULL CREATE DATABASE {name}")
        cursor.execute(f"USE {name}")
        if cursor.execute("SELECT OBJECT_ID('TBL_PO_M')").fetchone()[0] is None:
            for statement in statements:
                cursor.execute(statement)
    admin.close()
    for db, what in (("notabledb", "a missing table"), ("fewcolumndb", "missing columns")):
        ini = settings("f-" + db, "SQLOLEDB", f"127.0.0.1,{PORT}", db, SERVER["adminUser"], SERVER["adminPassword"])[0]
        failure(f"{what}: the search", ini, ["--list"], ["[42S02]", "[42S22]", "[42000]"])
        p = failure(f"{what}: a workbook", ini, ["P0001"],
                    ["[42S02]", "[42000]"] if db == "notabledb" else ["要求された名前または序数"],
                    number=None if db == "notabledb" else 3265)
        check(not os.listdir(os.path.join(WORK, "f-" + db, "out")), f"{what}: nothing written", p.stdout)


def unreachable():
    free = socket.socket()
    free.bind(("127.0.0.1", 0))
    port = free.getsockname()[1]
    free.close()
    ini = settings("f-stopped", "SQLOLEDB", f"127.0.0.1,{port}", "podb", "tolvar", "x", timeout=3)[0]
    failure("no server on the port", ini, ["--list"], ["[08001]", "[08S01]"], seconds=10)
    # A server that takes the connection and never answers: the login time-out ends it.
    silent = socket.socket()
    silent.bind(("127.0.0.1", 0))
    silent.listen(5)
    held = []
    threading.Thread(target=lambda: held.append(silent.accept()), daemon=True).start()
    ini = settings("f-silent", "SQLOLEDB", f"127.0.0.1,{silent.getsockname()[1]}", "podb", "tolvar", "x",
                   timeout=3)[0]
    failure("a server that never answers, CONECT_TIMEOUT=3", ini, ["--list"], ["[HYT00]", "[08001]", "[08S01]"],
            seconds=15)
    silent.close()


def killed_in_a_batch():
    """A server of its own, killed while a batch of 400 runs: the workbooks made are whole (the bytes
    SQLite's copy gives), the others fail with their reasons, the exit status says so."""
    own = os.path.join(WORK, "own-server")
    started = subprocess.run([os.path.join(HERE, "tds-server.sh"), "start", own], capture_output=True, text=True)
    if started.returncode != 0:
        check(False, "a second T-SQL server for the kill", started.stdout + started.stderr)
        return
    try:
        server = json.load(open(os.path.join(own, "connection.json"), encoding="utf-8"))
        numbers = subprocess.run(["sqlite3", server["sqlite"]["demo"], "SELECT PO番号 FROM TBL_PO_H ORDER BY 1"],
                                 capture_output=True, text=True).stdout.split()[:400]
        ini, out = settings("killed", "SQLOLEDB", f"127.0.0.1,{server['port']}", server["databases"]["demo"],
                            server["user"], server["password"])
        env = dict(os.environ, ODBCSYSINI=ODBC)
        batch = subprocess.Popen([TOLVAR_PO, "--settings", ini, *numbers], stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, text=True, env=env)
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline and len(os.listdir(out)) < 40 and batch.poll() is None:
            time.sleep(0.02)
        cluster = open(os.path.join(own, "cluster-path")).read().strip() if os.path.exists(
            os.path.join(own, "cluster-path")) else os.path.join(own, "cluster")
        postmaster = int(open(os.path.join(cluster, "data", "postmaster.pid")).readline())
        children = subprocess.run(["ps", "-o", "pid=", "--ppid", str(postmaster)], capture_output=True,
                                  text=True).stdout.split()
        for pid in [postmaster] + [int(c) for c in children]:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        stdout, stderr = batch.communicate(timeout=300)
        made = [line for line in stdout.splitlines() if line.endswith(".xls")]
        ref_ini, ref_out = settings("killed-sqlite", "SQLite", server["sqlite"]["demo"])
        tolvar_po(ref_ini, *[os.path.basename(m)[:-4] for m in made])
        whole = all(sha(m) == sha(ref_out + os.path.basename(m)) for m in made)
        left = sorted(set(os.listdir(out)) - {os.path.basename(m) for m in made})
        failed = re.findall(r"^(\S+): .*\((-?\d+)\)$", stderr, re.M)
        summary = re.search(r"(\d+) of (\d+) workbooks made, (\d+) not found, (\d+) failed", stderr)
        check(batch.returncode == 1 and 0 < len(made) < 400 and whole and not left and summary and
              int(summary.group(1)) == len(made) and int(summary.group(4)) == 400 - len(made) and
              len(failed) == 400 - len(made),
              f"server killed after {len(made)} of 400 workbooks: those whole, the other {400 - len(made)} "
              f"failed with their numbers, status 1",
              f"status {batch.returncode}, left {left[:5]}, whole {whole}\n{stderr[-1500:]}")
    finally:
        subprocess.run([os.path.join(HERE, "tds-server.sh"), "stop", own], capture_output=True)


def main():
    for step in (provider_forms, lists, workbooks, failures_of_the_server, unreachable, killed_in_a_batch):
        try:
            step()
        except Exception as e:  # a step that breaks is reported and the others go on
            check(False, step.__name__, repr(e))
    print(f"tds_cli: {len(failures)} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
