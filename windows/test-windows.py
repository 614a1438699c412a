#!/usr/bin/python3
"""The Windows build, run under Wine on a virtual display, against what the Linux build makes.

    test-windows.py WINDOWS_BUILD LINUX_BUILD WORK_DIR DIST_DIR

WINDOWS_BUILD is windows/build.sh's folder (its app/ is the program folder), LINUX_BUILD the Linux
build with the tests (its app/tolvar-po makes the reference workbooks), DIST_DIR holds the installer.
Each check prints its name and "ok" or what went wrong; the last line counts them. Wine gets a
prefix of its own under WORK_DIR, and the installer a fresh one.
"""
import glob
import hashlib
import json
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time
import traceback

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "display"))
from real_display_test import expected_rows  # noqa: E402  the start-up search's rows, from a SQLite file

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
PY = "/usr/bin/python3"  # Debian's, with xlrd
STAFF = "12"


def winpath(path):
    """The name a Windows program under Wine gives this machine's file: drive Z: is the root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def write_ini(path, provider, server, save_folder="", db="", user="", password="", encoding="cp932"):
    """A settings file as the office writes them: CP932 (or another encoding) with CRLF."""
    text = (f"[PO_DB]\r\nPROVIDER={provider}\r\nSERVER_NM={server}\r\nDB_NM={db}\r\nDBUSER_NM={user}\r\n"
            f"PASSWORD={password}\r\nCONECT_TIMEOUT=20\r\n\r\n[全般]\r\nPO_SAVE_FOLDER={save_folder}\r\n")
    with open(path, "wb") as f:
        f.write(text.encode(encoding))


def sha(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class Wine:
    def __init__(self, prefix, display):
        self.prefix = prefix
        wine = shutil.which("wine") or "/usr/lib/wine/wine64"
        self.wine = wine
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                        LANG="C.UTF-8", LC_ALL="C.UTF-8", DISPLAY=display, WINEARCH="win64")
        self.env.pop("QT_QPA_PLATFORM", None)
        self.display = display

    def boot(self):
        shutil.rmtree(self.prefix, ignore_errors=True)
        os.makedirs(self.prefix)
        # One server for the whole run, started before anything else: each program then starts in
        # well under a second, and none meets a server that is about to end.
        subprocess.Popen(["wineserver", "-p"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Wine's own services start here and live on with the server: they must not hold on to a
        # pipe of ours, or every read of it would wait for them.
        subprocess.run([self.wine, "wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300, check=True)
        # A program that crashes ends, instead of waiting in Wine's crash dialog for a person.
        self.reg("add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0", "/f")

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=60)

    def run(self, exe, *args, env=None, timeout=180, cwd=None):
        """Runs a program to its end. Wine hands no QT_* variable of this machine to Windows programs
        (it keeps them for its own Qt); WINEQT_* ones it hands on as QT_*."""
        e = dict(self.env, **{("WINE" + k if k.startswith("QT_") else k): v for k, v in (env or {}).items()})
        # Files, not pipes: a Wine service that a program starts lives on with the server and would
        # hold a pipe open long after the program ended.
        with tempfile.TemporaryFile() as out_file, tempfile.TemporaryFile() as err_file:
            p = subprocess.Popen([self.wine, exe, *args], env=e, stdout=out_file, stderr=err_file, cwd=cwd)
            try:
                p.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                p.kill()
                shown = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "."], capture_output=True,
                                       text=True, env=dict(os.environ, DISPLAY=self.display)).stdout.split()
                names = [subprocess.run(["xprop", "-id", w, "WM_NAME"], capture_output=True, text=True,
                                        env=dict(os.environ, DISPLAY=self.display)).stdout.strip() for w in shown]
                raise AssertionError(f"{os.path.basename(exe)} {' '.join(args)} did not end in {timeout} s; "
                                     f"the windows on the display: {names}")
            out_file.seek(0)
            err_file.seek(0)
            out, err = out_file.read(), err_file.read()
        return p.returncode, out.decode("utf-8", "replace"), err.decode("utf-8", "replace")

    def popen(self, exe, *args, cwd=None):
        return subprocess.Popen([self.wine, exe, *args], env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, cwd=cwd)

    def drive_c(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    def reg(self, *args):
        return subprocess.run([self.wine, "reg", *args], env=self.env, capture_output=True, timeout=60).returncode


class Run:
    def __init__(self, win_build, linux_build, work, dist):
        self.win_build = os.path.abspath(win_build)
        self.linux_build = os.path.abspath(linux_build)
        self.work = os.path.abspath(work)
        self.dist = os.path.abspath(dist)
        self.app = os.path.join(self.win_build, "app")
        self.passed = self.failed = 0

    def check(self, name, fn):
        started = time.time()
        try:
            fn()
            self.passed += 1
            print(f"ok    {name} ({time.time() - started:.1f} s)", flush=True)
        except Exception as e:  # a failed check is reported and the others go on
            self.failed += 1
            detail = str(e) if isinstance(e, AssertionError) else traceback.format_exc()
            print(f"FAIL  {name}: {detail}", flush=True)

    # -- a program folder of the Windows build -------------------------------------------------------

    def program_folder(self, name):
        folder = os.path.join(self.work, name)
        shutil.rmtree(folder, ignore_errors=True)
        shutil.copytree(self.app, folder, ignore=shutil.ignore_patterns("output", "tolvar.ini"))
        return folder

    def pos_with_lines(self, db, counts=(1, 21, 45)):
        con = sqlite3.connect(db)
        found = []
        for n in counts:
            row = con.execute("SELECT PO番号 FROM TBL_PO_M GROUP BY PO番号 HAVING count(*) = ? ORDER BY PO番号 LIMIT 1",
                              (n,)).fetchone()
            assert row, f"the demo data has no PO of {n} lines"
            found.append(row[0])
        con.close()
        return found

    def linux_workbooks(self, pos, settings, out):
        os.makedirs(out, exist_ok=True)
        p = subprocess.run([os.path.join(self.linux_build, "app", "tolvar-po"), "--settings", settings, "--out",
                            out + "/", *pos], capture_output=True, text=True, timeout=120)
        assert p.returncode == 0, f"Linux tolvar-po: {p.returncode} {p.stderr}"

    # -- the checks ------------------------------------------------------------------------------

    def unit_tests(self, wine):
        dlls = os.path.join(self.win_build, "test-dlls")
        env = {"WINEPATH": f"{winpath(self.app)};{winpath(dlls)}", "QT_QPA_PLATFORM": "offscreen",
               "QT_PLUGIN_PATH": f"{winpath(dlls)};{winpath(self.app)}"}
        rc, out, err = wine.run(os.path.join(self.win_build, "tests", "unit_tests.exe"), env=env, timeout=600,
                                cwd=self.win_build)
        tail = "\n".join((out + err).splitlines()[-15:])
        assert rc == 0 and "[  PASSED  ]" in out, f"unit_tests.exe ended with {rc}:\n{tail}"
        print("      " + next(line for line in out.splitlines() if line.startswith("[==========]")))
        for replay in sorted(glob.glob(os.path.join(self.win_build, "fuzz", "*_replay.exe"))):
            rc, out, err = wine.run(replay, winpath(os.path.join(TOP, "tests", "data", "xls")),
                                    winpath(os.path.join(TOP, "fuzz", "regressions")),
                                    winpath(os.path.join(TOP, "fuzz", "seeds")),
                                    winpath(os.path.join(TOP, "assets", "MST_PO.xls")), env=env, timeout=600)
            assert rc == 0, f"{os.path.basename(replay)} ended with {rc}: {(out + err)[-800:]}"

    def sqlite_workbooks(self, wine):
        folder = self.program_folder("app-sqlite")
        db = os.path.join(folder, "demo.db")
        pos = self.pos_with_lines(db)
        out_win = os.path.join(self.work, "out-windows")
        out_linux = os.path.join(self.work, "out-linux")
        for d in (out_win, out_linux):
            shutil.rmtree(d, ignore_errors=True)
            os.makedirs(d)
        # The office's form: CP932, CRLF, a save folder ending with "\".
        write_ini(os.path.join(folder, "tolvar.ini"), "SQLite", "demo.db", winpath(out_win) + "\\")
        rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), *pos)
        assert rc == 0, f"tolvar-po.exe ended with {rc}: {err}"
        expected = [winpath(os.path.join(out_win, po + ".xls")) for po in pos]
        assert out.split() == expected, f"tolvar-po.exe printed {out!r}, not {expected}"
        assert "3 of 3 workbooks made" in err, err

        linux_ini = os.path.join(self.work, "linux.ini")
        write_ini(linux_ini, "SQLite", db)
        self.linux_workbooks(pos, linux_ini, out_linux)
        for po in pos:
            a, b = os.path.join(out_win, po + ".xls"), os.path.join(out_linux, po + ".xls")
            assert sha(a) == sha(b), f"{po}: the Windows workbook's bytes differ from the Linux one's"
        self.readers([os.path.join(out_win, po + ".xls") for po in pos], pos)
        leftovers = [f for f in os.listdir(out_win) if not f.endswith(".xls")]
        assert not leftovers, f"left in the save folder: {leftovers}"

    def xlsx_workbooks(self, wine):
        """The template as LibreOffice saves it in .xlsx, beside tolvar-po.exe in MST_PO.xls's place: the
        workbooks are .xlsx, byte for byte those Linux makes, and the package checker finds nothing."""
        folder = self.program_folder("app-xlsx")
        os.remove(os.path.join(folder, "MST_PO.xls"))
        p = subprocess.run(["soffice", "-env:UserInstallation=file://" + os.path.join(self.work, "xlsx-profile"),
                            "--headless", "--convert-to", "xlsx", "--outdir", folder,
                            os.path.join(TOP, "assets", "MST_PO.xls")], capture_output=True, text=True, timeout=300)
        template = os.path.join(folder, "MST_PO.xlsx")
        assert os.path.isfile(template), f"LibreOffice made no .xlsx template: {p.stderr}"
        db = os.path.join(folder, "demo.db")
        pos = self.pos_with_lines(db)
        out_win, out_linux = os.path.join(self.work, "xlsx-windows"), os.path.join(self.work, "xlsx-linux")
        for d in (out_win, out_linux):
            shutil.rmtree(d, ignore_errors=True)
            os.makedirs(d)
        write_ini(os.path.join(folder, "tolvar.ini"), "SQLite", "demo.db", winpath(out_win) + "\\")
        rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), *pos)
        expected = [winpath(os.path.join(out_win, po + ".xlsx")) for po in pos]
        assert rc == 0 and out.split() == expected, f"tolvar-po.exe ended with {rc}, printed {out!r}: {err}"
        linux_ini = os.path.join(self.work, "linux-xlsx.ini")
        write_ini(linux_ini, "SQLite", db)
        p = subprocess.run([os.path.join(self.linux_build, "app", "tolvar-po"), "--settings", linux_ini,
                            "--template", template, "--out", out_linux + "/", *pos], capture_output=True, text=True,
                           timeout=120)
        assert p.returncode == 0, f"Linux tolvar-po: {p.returncode} {p.stderr}"
        for po in pos:
            a, b = os.path.join(out_win, po + ".xlsx"), os.path.join(out_linux, po + ".xlsx")
            assert sha(a) == sha(b), f"{po}: the Windows .xlsx workbook's bytes differ from the Linux one's"
            p = subprocess.run([os.path.join(self.linux_build, "tests", "xlsx_tool"), "check", a],
                               capture_output=True, text=True, timeout=60)
            assert p.returncode == 0, f"{po}: the package checker finds {p.stdout}"

    def readers(self, workbooks, pos):
        """xlrd, gnumeric, LibreOffice and Apache POI read each workbook, xlrd finding the PO number, and the
        structural checker finds nothing."""
        dump = subprocess.run([PY, os.path.join(TOP, "tests", "xls", "xlrd_dump.py"), *workbooks],
                              capture_output=True, text=True, timeout=120)
        assert dump.returncode == 0, dump.stderr
        sheets = json.loads(dump.stdout)
        for path, po in zip(workbooks, pos):
            cells = sheets[path]
            texts = json.dumps(cells, ensure_ascii=False)
            assert po in texts, f"xlrd does not find {po} in {path}"
        conv = os.path.join(self.work, "readers")
        shutil.rmtree(conv, ignore_errors=True)
        os.makedirs(conv)
        for path in workbooks:
            p = subprocess.run(["ssconvert", "-S", path, os.path.join(conv, os.path.basename(path) + ".%s.csv")],
                               capture_output=True, text=True, timeout=120)
            assert p.returncode == 0, f"gnumeric: {p.stderr}"
        profile = "file://" + os.path.join(conv, "profile")
        p = subprocess.run(["soffice", f"-env:UserInstallation={profile}", "--headless", "--convert-to", "pdf",
                            "--outdir", conv, *workbooks], capture_output=True, text=True, timeout=300)
        made = [f for f in os.listdir(conv) if f.endswith(".pdf")]
        assert p.returncode == 0 and len(made) == len(workbooks), f"LibreOffice made {made}: {p.stderr}"
        # Apache POI, the strictest reader, and the structural checker (records in their order).
        jars = ":".join(f"/usr/share/java/{j}.jar" for j in ("poi", "commons-collections4", "commons-math3",
                                                             "commons-codec"))
        p = subprocess.run(["java", "-cp", jars, os.path.join(TOP, "tests", "xls", "PoiRead.java"),
                            os.path.join(conv, "poi")] + [f"{po}={path}" for path, po in zip(workbooks, pos)],
                           capture_output=True, text=True, timeout=300)
        assert p.returncode == 0, f"Apache POI refuses: {p.stderr[-600:]}"
        p = subprocess.run([PY, os.path.join(TOP, "tests", "xls", "xls_lint.py"), *workbooks], capture_output=True,
                           text=True, timeout=120)
        assert p.returncode == 0 and not p.stdout.strip(), f"the structural checker: {p.stdout[-600:]}"

    def check_template(self, wine):
        folder = os.path.join(self.work, "app-sqlite")
        rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), "--check-template")
        assert rc == 0 and out.strip().startswith("OK"), f"--check-template: {rc} {out} {err}"
        # A template in a folder with a Japanese name, checked and used.
        jp = os.path.join(self.work, "テンプレート")
        os.makedirs(jp, exist_ok=True)
        template = os.path.join(jp, "発注書.xls")
        shutil.copy(os.path.join(folder, "MST_PO.xls"), template)
        rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), "--check-template", winpath(template))
        assert rc == 0 and out.strip().startswith("OK"), f"--check-template {template}: {rc} {out} {err}"
        out_dir = os.path.join(self.work, "out-template")
        shutil.rmtree(out_dir, ignore_errors=True)
        os.makedirs(out_dir)
        po = self.pos_with_lines(os.path.join(folder, "demo.db"), (21,))[0]
        rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), "--template", winpath(template), "--out",
                                winpath(out_dir), po)
        assert rc == 0 and os.listdir(out_dir) == [po + ".xls"], f"--template: {rc} {err} {os.listdir(out_dir)}"
        # Not a workbook: refused with the reason, exit 1.
        bad = os.path.join(jp, "壊れた.xls")
        with open(bad, "wb") as f:
            f.write(b"not a workbook")
        rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), "--check-template", winpath(bad))
        assert rc == 1 and out.strip(), f"--check-template on a damaged file: {rc} {out} {err}"

    def pdf_without_libreoffice(self, wine):
        folder = os.path.join(self.work, "app-sqlite")
        out_dir = os.path.join(self.work, "out-pdf")
        shutil.rmtree(out_dir, ignore_errors=True)
        os.makedirs(out_dir)
        po = self.pos_with_lines(os.path.join(folder, "demo.db"), (1,))[0]
        rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), "--pdf", "--out", winpath(out_dir), po)
        # No LibreOffice for Windows here: the workbook is made, the PDF is the documented failure.
        assert rc == 1, f"--pdf without LibreOffice ended with {rc}: {err}"
        assert "LibreOffice (soffice) が見つかりません。 (-3101)" in err, err
        assert os.listdir(out_dir) == [po + ".xls"], os.listdir(out_dir)

    def pdf_with_registered_libreoffice(self, wine):
        """LibreOffice found where its installer registers it (App Paths), a stand-in for it making the
        PDF; then one that hangs with a child, ended with its whole tree at the time-out."""
        folder = os.path.join(self.work, "app-sqlite")
        program = os.path.join(self.work, "LibreOffice", "program")
        os.makedirs(program, exist_ok=True)
        soffice = os.path.join(program, "soffice.exe")
        shutil.copy(os.path.join(self.win_build, "tests", "fake_soffice.exe"), soffice)
        key = r"HKCU\Software\Microsoft\Windows\CurrentVersion\App Paths\soffice.exe"
        assert wine.reg("add", key, "/ve", "/d", winpath(soffice), "/f") == 0
        try:
            out_dir = os.path.join(self.work, "out-pdf-registered")
            shutil.rmtree(out_dir, ignore_errors=True)
            os.makedirs(out_dir)
            pos = self.pos_with_lines(os.path.join(folder, "demo.db"), (1, 21))
            rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), "--pdf", "--out", winpath(out_dir), *pos)
            assert rc == 0, f"--pdf with LibreOffice registered: {rc} {err}"
            for po in pos:
                with open(os.path.join(out_dir, po + ".pdf"), "rb") as f:
                    assert f.read(5) == b"%PDF-", f"{po}.pdf is not a PDF"
            ticks = os.path.join(self.work, "ticks.txt")
            if os.path.exists(ticks):
                os.remove(ticks)
            started = time.time()
            rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), "--pdf", "--pdf-timeout", "3", "--out",
                                    winpath(out_dir), pos[0],
                                    env={"TOLVAR_FAKE_SOFFICE": "hang", "TOLVAR_FAKE_SOFFICE_TICKS": winpath(ticks)})
            assert rc == 1 and "(-3103)" in err, f"a hanging LibreOffice: {rc} {err}"
            assert time.time() - started < 60, "the time-out did not end the wait"
            assert os.path.exists(ticks), "the stand-in's child never ran"
            time.sleep(1.5)
            before = os.path.getsize(ticks)
            time.sleep(1.5)
            assert os.path.getsize(ticks) == before, "LibreOffice's child still runs after the time-out"
        finally:
            wine.reg("delete", key, "/f")

    def bad_settings(self, wine):
        folder = os.path.join(self.work, "app-sqlite")
        ini = os.path.join(folder, "tolvar.ini")
        po = self.pos_with_lines(os.path.join(folder, "demo.db"), (1,))[0]
        # A save folder without the closing "\": the workbook goes into that folder all the same.
        out_dir = os.path.join(self.work, "out-no-backslash")
        shutil.rmtree(out_dir, ignore_errors=True)
        os.makedirs(out_dir)
        write_ini(ini, "SQLite", "demo.db", winpath(out_dir))
        rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), po)
        assert rc == 0 and os.listdir(out_dir) == [po + ".xls"], f"no closing backslash: {rc} {err}"
        # A drive that does not exist: the folder's failure, nothing written.
        write_ini(ini, "SQLite", "demo.db", "Q:\\発注書\\")
        rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), po)
        assert rc == 1 and "(-3004)" in err, f"missing drive: {rc} {err}"
        # A PO number that would leave the save folder ("..\" on Windows): refused.
        db = os.path.join(folder, "evil.db")
        shutil.copy(os.path.join(folder, "demo.db"), db)
        con = sqlite3.connect(db)
        # And the names Windows takes for devices, characters it does not allow, a dot at the end.
        evil = ["..\\evil", "CON", "nul.xls", "Com1", "LPT9.txt", "a|b", "a?b", "P1."]
        con.execute("CREATE TEMP TABLE h AS SELECT * FROM TBL_PO_H WHERE PO番号 = ?", (po,))
        for number in evil:
            con.execute("UPDATE h SET PO番号 = ?", (number,))
            con.execute("INSERT INTO TBL_PO_H SELECT * FROM h")
        con.commit()
        con.close()
        write_ini(ini, "SQLite", "evil.db", winpath(out_dir) + "\\")
        for number in evil:
            rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), number)
            assert rc == 1 and "(-3007)" in err and number in err, f"PO number {number!r}: {rc} {err}"
        assert not os.path.exists(os.path.join(self.work, "evil.xls")), "a workbook was written outside the folder"
        assert os.listdir(out_dir) == [po + ".xls"], f"written for refused PO numbers: {os.listdir(out_dir)}"
        # An ODBC driver that is not installed, and SQL Server without its driver: named in the failure.
        write_ini(ini, "ODBC", "DRIVER={No Such Driver 9};SERVER=x;", winpath(out_dir) + "\\")
        rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), po)
        assert rc == 1 and "No Such Driver 9" in err and "(-2003)" in err, f"missing ODBC driver: {rc} {err}"
        write_ini(ini, "SQLOLEDB", "PO-SV\\SQLEXPRESS", winpath(out_dir) + "\\", db="PODB", user="sa")
        rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), po)
        assert rc == 1 and "SQL Server" in err, f"SQL Server without a driver: {rc} {err}"
        # A settings file that is missing: LoadSettings' message, exit 1.
        os.remove(ini)
        rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), po)
        assert rc == 1 and "イニファイル" in err, f"no settings file: {rc} {err}"

    def odbc_drivers(self, wine):
        """The drivers as their installers register them on Windows: psqlODBC, and FreeTDS under the
        names of Microsoft's SQL Server drivers, which the Windows build looks for. Wine hands the
        calls to the host's unixODBC, which finds them in a private list (psqlODBC without its log
        files)."""
        odbc = os.path.join(self.work, "odbc")
        os.makedirs(odbc, exist_ok=True)
        lib = "/usr/lib/x86_64-linux-gnu/odbc"
        with open(os.path.join(odbc, "odbcinst.ini"), "w") as f:
            f.write(f"[PostgreSQL Unicode]\nDriver={lib}/psqlodbcw.so\nCommLog=0\nDebug=0\n\n")
            for name in ("ODBC Driver 18 for SQL Server", "SQL Server"):
                f.write(f"[{name}]\nDriver={lib}/libtdsodbc.so\n\n")
        wine.env["ODBCSYSINI"] = odbc
        for name in ("PostgreSQL Unicode", "ODBC Driver 18 for SQL Server", "SQL Server"):
            assert wine.reg("add", r"HKLM\Software\ODBC\ODBCINST.INI\ODBC Drivers", "/v", name, "/d", "Installed",
                            "/f") == 0

    def odbc_postgres(self, wine, pg):
        host_port, dbname, user, password = open(os.path.join(pg, "connection")).read().split()
        host, port = host_port.split(":")
        self.odbc_drivers(wine)
        folder = self.program_folder("app-odbc")
        out_dir = os.path.join(self.work, "out-odbc")
        ref_dir = os.path.join(self.work, "out-odbc-linux")
        for d in (out_dir, ref_dir):
            shutil.rmtree(d, ignore_errors=True)
            os.makedirs(d)
        linux_ini = os.path.join(self.work, "linux-pg.ini")
        write_ini(linux_ini, "PostgreSQL", host_port, db=dbname, user=user, password=password)
        self.linux_workbooks(["P0001"], linux_ini, ref_dir)
        ref = sha(os.path.join(ref_dir, "P0001.xls"))
        search = ["--list", "--staff", STAFF, "--from", "2024/01/01", "--to", "2024/12/31"]
        p = subprocess.run([os.path.join(self.linux_build, "app", "tolvar-po"), "--settings", linux_ini, *search],
                           capture_output=True, text=True, timeout=60)
        assert p.returncode == 0 and len(p.stdout.splitlines()) >= 3, f"Linux --list: {p.stdout} {p.stderr}"
        forms = [("ODBC", f"DRIVER={{PostgreSQL Unicode}};SERVER={host};PORT={port};", dbname),
                 ("PostgreSQL", host_port, dbname)]
        for provider, server, db in forms:
            write_ini(os.path.join(folder, "tolvar.ini"), provider, server, winpath(out_dir) + "\\", db=db, user=user,
                      password=password)
            # The search: the POs of staff 12 from 2024, as the search window lists them.
            rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), *search)
            # Text lines on Windows end with CR LF.
            assert rc == 0 and out.replace("\r\n", "\n") == p.stdout, f"{provider}: --list gave {rc} {out!r} {err}, Linux {p.stdout!r}"
            rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), "P0001")
            made = os.path.join(out_dir, "P0001.xls")
            assert rc == 0 and os.path.exists(made), f"{provider}: {rc} {err}"
            assert sha(made) == ref, f"{provider}: the workbook differs from the one Linux makes through QPSQL"
            os.remove(made)

    def sql_server(self, wine, tds, x_display):
        """The T-SQL test server through the Windows plan (the SQL Server provider names, the newest
        "ODBC Driver N for SQL Server"): the lists and the workbooks equal those the Linux build makes
        from the same data in SQLite, and the window's search shows the same rows."""
        server = json.load(open(os.path.join(tds, "connection.json"), encoding="utf-8"))
        twin = server["sqlite"]["demo"]
        self.odbc_drivers(wine)
        folder = self.program_folder("app-tds")
        out_dir = os.path.join(self.work, "out-tds")
        ref_dir = os.path.join(self.work, "out-tds-linux")
        for d in (out_dir, ref_dir):
            shutil.rmtree(d, ignore_errors=True)
            os.makedirs(d)
        linux_ini = os.path.join(self.work, "linux-twin.ini")
        write_ini(linux_ini, "SQLite", twin, encoding="utf-8")
        ini = os.path.join(folder, "tolvar.ini")
        searches = [["--list", "--staff", STAFF], ["--list", "--kind", "1"], ["--list", "--customer", "B1"]]
        for provider in ("SQLOLEDB", "SQLNCLI11", "MSOLEDBSQL19"):
            write_ini(ini, provider, f"127.0.0.1,{server['port']}", winpath(out_dir) + "\\",
                      db=server["databases"]["demo"], user=server["user"], password=server["password"],
                      encoding="utf-8")
            for search in searches:
                expected = subprocess.run([os.path.join(self.linux_build, "app", "tolvar-po"), "--settings", linux_ini,
                                           *search], capture_output=True, text=True, timeout=60).stdout
                rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), *search)
                assert rc == 0 and expected and out.replace("\r\n", "\n") == expected, \
                    f"{provider} {' '.join(search)}: {rc} {err} {out[:300]!r}, Linux {expected[:300]!r}"
        pos = self.pos_with_lines(twin) + [po for po in expected_rows(twin)[:20]]
        rc, out, err = wine.run(os.path.join(folder, "tolvar-po.exe"), *pos)
        assert rc == 0, f"tolvar-po.exe on SQL Server: {rc} {err}"
        self.linux_workbooks(pos, linux_ini, ref_dir)
        for po in pos:
            assert sha(os.path.join(out_dir, po + ".xls")) == sha(os.path.join(ref_dir, po + ".xls")), \
                f"{po}: the workbook from SQL Server under Wine differs from Linux's from SQLite"

        # The window: the start-up search of the staff code by keyboard, every row of it selected
        # for a batch (its caption counts them), the third row's dialog captioned with its number.
        sys.path.insert(0, os.path.join(TOP, "tests", "display"))
        import real_display_test as rd
        x = rd.Display(x_display)
        rows = rd.expected_rows(twin)
        assert len(rows) >= 3, rows
        proc = wine.popen(os.path.join(folder, "tolvar.exe"), STAFF, cwd=folder)
        try:
            main = x.wait_for("Tolvar", timeout=60)
            x.activate(main)
            time.sleep(1)
            x.key("Tab", "Tab", "Tab", "Tab", "Tab", "Return")
            time.sleep(2)
            x.key("Tab", "ctrl+a", "Menu", "Down", "Return")
            x.wait_for(f"{len(rows)}件", timeout=30)
            x.key("Escape")
            x.gone(f"{len(rows)}件")
            x.key("Home", "Down", "Down", "Return")
            x.wait_for(rows[2], timeout=30)
            x.key("Escape")
            x.gone(rows[2])
        finally:
            proc.terminate()
            try:
                proc.wait(20)
            except subprocess.TimeoutExpired:
                proc.kill()

    def window(self, wine, x_display):
        folder = self.program_folder("app-window")
        out_dir = os.path.join(self.work, "out-window")
        shutil.rmtree(out_dir, ignore_errors=True)
        os.makedirs(out_dir)
        write_ini(os.path.join(folder, "tolvar.ini"), "SQLite", "demo.db", winpath(out_dir) + "\\")
        sys.path.insert(0, os.path.join(TOP, "tests", "display"))
        import real_display_test as rd
        x = rd.Display(x_display)
        rows = rd.expected_rows(os.path.join(folder, "demo.db"))
        assert len(rows) >= 3, rows
        proc = wine.popen(os.path.join(folder, "tolvar.exe"), STAFF, cwd=folder)
        try:
            main = x.wait_for("Tolvar", timeout=60)
            x.activate(main)
            time.sleep(1)
            # Tab through 区分, the two dates and 番号 to 検索, Enter; into the grid, two rows down, Enter.
            x.key("Tab", "Tab", "Tab", "Tab", "Tab", "Return")
            time.sleep(2)
            x.key("Tab", "Down", "Down", "Return")
            x.wait_for(rows[2], timeout=30)
            x.key("Return")
            x.wait_for("終了", timeout=60)
            assert os.listdir(out_dir) == [rows[2] + ".xls"], os.listdir(out_dir)
            x.key("Return")
            x.gone("終了")
            # A second copy ends at once, silently, and the first goes on.
            second = wine.popen(os.path.join(folder, "tolvar.exe"), STAFF, cwd=folder)
            assert second.wait(60) == 0, "the second tolvar.exe did not end by itself"
            assert x.names() == ["Tolvar"], f"windows after a second start: {x.names()}"
        finally:
            proc.terminate()
            try:
                proc.wait(20)
            except subprocess.TimeoutExpired:
                proc.kill()

    def installer(self, display):
        setups = sorted(glob.glob(os.path.join(self.dist, "tolvar-*-setup.exe")))
        assert setups, f"no installer in {self.dist}"
        setup = setups[-1]
        wine = Wine(os.path.join(self.work, "prefix-install"), display)
        wine.boot()
        try:
            rc, _, err = wine.run(setup, "/S", timeout=300)
            assert rc == 0, f"the installer ended with {rc}: {err}"
            users = glob.glob(wine.drive_c("users", "*", "AppData", "Local", "Programs", "Tolvar"))
            assert users, "nothing installed under the user's AppData\\Local\\Programs\\Tolvar"
            home = users[0]
            for name in ("tolvar.exe", "tolvar-po.exe", "uninstall.exe", "tolvar.ini", "MST_PO.xls", "demo.db",
                         "Qt6Core.dll", "platforms/qwindows.dll", "sqldrivers/qsqlite.dll",
                         "styles/qwindowsvistastyle.dll", "libstdc++-6.dll"):
                assert os.path.isfile(os.path.join(home, name)), f"{name} is not installed"
            menu = glob.glob(wine.drive_c("users", "*", "AppData", "Roaming", "Microsoft", "Windows", "Start Menu",
                                          "Programs", "Tolvar.lnk"))
            assert menu, "no Start-menu entry"
            po = self.pos_with_lines(os.path.join(home, "demo.db"), (45,))[0]
            out_dir = os.path.join(self.work, "out-installed")
            shutil.rmtree(out_dir, ignore_errors=True)
            os.makedirs(out_dir)
            exe = os.path.join(home, "tolvar-po.exe")
            rc, out, err = wine.run(exe, "--out", winpath(out_dir), po)
            assert rc == 0 and os.listdir(out_dir) == [po + ".xls"], f"installed tolvar-po.exe: {rc} {err}"

            # The office changes its settings and its template; an upgrade keeps both.
            write_ini(os.path.join(home, "tolvar.ini"), "SQLite", "demo.db", winpath(out_dir) + "\\")
            template = os.path.join(home, "MST_PO.xls")
            p = subprocess.run(["ssconvert", os.path.join(TOP, "assets", "MST_PO.xls"), template + ".new.xls",
                                "--export-type=Gnumeric_Excel:excel_biff8"], capture_output=True, timeout=120)
            assert p.returncode == 0, p.stderr
            os.replace(template + ".new.xls", template)
            kept = {n: sha(os.path.join(home, n)) for n in ("tolvar.ini", "MST_PO.xls")}
            os.remove(os.path.join(home, "tolvar-po.exe"))
            rc, _, err = wine.run(setup, "/S", timeout=300)
            assert rc == 0, f"the upgrade ended with {rc}: {err}"
            assert os.path.isfile(exe), "the upgrade did not put the program back"
            for n, digest in kept.items():
                assert sha(os.path.join(home, n)) == digest, f"the upgrade replaced the office's {n}"
            rc, out, err = wine.run(exe, po)
            assert rc == 0 and os.path.exists(os.path.join(out_dir, po + ".xls")), f"after the upgrade: {rc} {err}"

            # The uninstaller runs a copy of itself from the temporary folder: wait for it.
            rc, _, err = wine.run(os.path.join(home, "uninstall.exe"), "/S", timeout=300)
            assert rc == 0, f"the uninstaller ended with {rc}: {err}"
            deadline = time.time() + 120
            while time.time() < deadline and os.path.exists(os.path.join(home, "uninstall.exe")):
                time.sleep(0.5)
            time.sleep(2)  # the Start-menu entry and the registry go last
            left = sorted(os.path.relpath(os.path.join(d, f), home) for d, _, fs in os.walk(home) for f in fs)
            assert left == ["MST_PO.xls", "tolvar.ini"], f"left after uninstalling: {left}"
            assert not glob.glob(wine.drive_c("users", "*", "AppData", "Roaming", "Microsoft", "Windows",
                                              "Start Menu", "Programs", "Tolvar.lnk")), "the Start-menu entry is left"
            key = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvar"
            assert wine.reg("query", key) != 0, "the uninstall entry is left in the registry"

            # For one user, a folder outside the user's profile is refused: nothing is installed.
            rc, _, err = wine.run(setup, "/S", r"/D=C:\Tolvar", timeout=300)
            assert rc != 0 and not os.path.exists(wine.drive_c("Tolvar", "tolvar.exe")), \
                f"a per-user install outside the profile: {rc} {os.listdir(wine.drive_c())}"
        finally:
            wine.stop()

    def installer_all_users(self, display):
        """/ALLUSERS from an administrator: Program Files, the whole PC's Start menu and entry; an
        upgrade keeps the office's files; the uninstaller takes the program and leaves those."""
        setup = sorted(glob.glob(os.path.join(self.dist, "tolvar-*-setup.exe")))[-1]
        wine = Wine(os.path.join(self.work, "prefix-install-all"), display)
        wine.boot()
        try:
            rc, _, err = wine.run(setup, "/S", "/ALLUSERS", timeout=300)
            assert rc == 0, f"the installer for the whole PC ended with {rc}: {err}"
            home = wine.drive_c("Program Files", "Tolvar")
            for name in ("tolvar.exe", "tolvar-po.exe", "uninstall.exe", "tolvar.ini", "MST_PO.xls"):
                assert os.path.isfile(os.path.join(home, name)), f"{name} is not in Program Files\\Tolvar"
            assert not glob.glob(wine.drive_c("users", "*", "AppData", "Local", "Programs", "Tolvar")), \
                "installed for one user as well"
            assert os.path.isfile(wine.drive_c("ProgramData", "Microsoft", "Windows", "Start Menu", "Programs",
                                               "Tolvar.lnk")), "no Start-menu entry for every user"
            key = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvar"
            assert wine.reg("query", key) == 0, "no uninstall entry for the whole PC"
            out_dir = os.path.join(self.work, "out-installed-all")
            shutil.rmtree(out_dir, ignore_errors=True)
            os.makedirs(out_dir)
            po = self.pos_with_lines(os.path.join(home, "demo.db"), (1,))[0]
            rc, out, err = wine.run(os.path.join(home, "tolvar-po.exe"), "--out", winpath(out_dir), po)
            assert rc == 0 and os.listdir(out_dir) == [po + ".xls"], f"tolvar-po.exe for the whole PC: {rc} {err}"
            write_ini(os.path.join(home, "tolvar.ini"), "SQLite", "demo.db", winpath(out_dir) + "\\")
            kept = sha(os.path.join(home, "tolvar.ini"))
            rc, _, err = wine.run(setup, "/S", "/ALLUSERS", timeout=300)
            assert rc == 0 and sha(os.path.join(home, "tolvar.ini")) == kept, f"the upgrade: {rc} {err}"
            rc, _, err = wine.run(os.path.join(home, "uninstall.exe"), "/S", timeout=300)
            assert rc == 0, f"the uninstaller ended with {rc}: {err}"
            deadline = time.time() + 120
            while time.time() < deadline and os.path.exists(os.path.join(home, "uninstall.exe")):
                time.sleep(0.5)
            time.sleep(2)
            left = sorted(os.listdir(home))
            assert left == ["MST_PO.xls", "tolvar.ini"], f"left after uninstalling: {left}"
            assert wine.reg("query", key) != 0, "the uninstall entry for the whole PC is left"
        finally:
            wine.stop()


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    run = Run(*sys.argv[1:])
    os.makedirs(run.work, exist_ok=True)
    x_dir = os.path.join(run.work, "x-session")
    pg_dir = os.path.join(run.work, "pg")
    subprocess.run([os.path.join(TOP, "tests", "display", "x-session.sh"), "start", x_dir], check=True)
    tds_dir = os.path.join(run.work, "tds")
    pg = subprocess.run([os.path.join(TOP, "tests", "pg", "pg-server.sh"), "start", pg_dir], capture_output=True,
                        text=True)
    tds = subprocess.run([os.path.join(TOP, "tests", "tds", "tds-server.sh"), "start", tds_dir], capture_output=True,
                         text=True)
    display = open(os.path.join(x_dir, "display")).read().strip()
    wine = Wine(os.path.join(run.work, "prefix"), display)
    try:
        started = time.time()
        wine.boot()
        print(f"      Wine prefix made in {time.time() - started:.0f} s", flush=True)
        run.check("unit tests and fuzz replays built for Windows", lambda: run.unit_tests(wine))
        run.check("tolvar-po.exe on SQLite: 1, 21 and 45 lines, the Linux bytes, four readers and the checker",
                  lambda: run.sqlite_workbooks(wine))
        run.check("tolvar-po.exe with MST_PO.xlsx in place of MST_PO.xls: .xlsx workbooks, the Linux bytes",
                  lambda: run.xlsx_workbooks(wine))
        run.check("tolvar-po.exe --check-template, a template in a Japanese folder",
                  lambda: run.check_template(wine))
        run.check("tolvar-po.exe --pdf without LibreOffice", lambda: run.pdf_without_libreoffice(wine))
        run.check("tolvar-po.exe --pdf: LibreOffice from App Paths, and one that hangs, ended with its children",
                  lambda: run.pdf_with_registered_libreoffice(wine))
        run.check("bad settings: no closing \\, a missing drive, a PO number with \\, missing drivers",
                  lambda: run.bad_settings(wine))
        if pg.returncode == 0:
            run.check("ODBC through Wine, unixODBC and psqlODBC to PostgreSQL: a search and a workbook",
                      lambda: run.odbc_postgres(wine, pg_dir))
        else:
            run.failed += 1
            print(f"FAIL  the test PostgreSQL server did not start: {pg.stdout} {pg.stderr}")
        if tds.returncode == 0:
            run.check("SQL Server through Wine, unixODBC and FreeTDS as Microsoft's driver: lists, workbooks, the window",
                      lambda: run.sql_server(wine, tds_dir, display))
        else:
            run.failed += 1
            print(f"FAIL  the T-SQL test server did not start: {tds.stdout} {tds.stderr}")
        run.check("the window under Wine by keyboard: search, a row, OK, 終了, a second copy",
                  lambda: run.window(wine, display))
    finally:
        wine.stop()
    run.check("the installer: silent install, a workbook, an upgrade that keeps the office's files, uninstall; "
              "a folder outside the profile refused", lambda: run.installer(display))
    run.check("the installer for the whole PC (/ALLUSERS): Program Files, upgrade, uninstall",
              lambda: run.installer_all_users(display))
    subprocess.run([os.path.join(TOP, "tests", "pg", "pg-server.sh"), "stop", pg_dir], capture_output=True)
    subprocess.run([os.path.join(TOP, "tests", "tds", "tds-server.sh"), "stop", tds_dir], capture_output=True)
    subprocess.run([os.path.join(TOP, "tests", "display", "x-session.sh"), "stop", x_dir], capture_output=True)
    print(f"windows: {run.passed} passed, {run.failed} failed")
    sys.exit(1 if run.failed else 0)


if __name__ == "__main__":
    main()
