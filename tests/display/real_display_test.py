#!/usr/bin/python3
"""The program on a real X server (Xvfb with openbox, the xcb platform), driven from outside with
the keyboard as a person drives it, and read back from the window system: what offscreen tests
cannot see.

    real_display_test.py TOLVAR WORK_DIR DISPLAY_FILE [WINDOW_GRAB]

TOLVAR is the built program; it runs from a program folder of its own under WORK_DIR with the
demo data and its settings. DISPLAY_FILE holds the display the X session started by
tests/display/x-session.sh runs on. With WINDOW_GRAB, a picture of the search window is kept in
WORK_DIR. TOLVAR_TEST_TDS_FILE names the T-SQL test server's connection.json.
"""
import contextlib
import json
import os
import shutil
import sqlite3
import subprocess
import sys
import time
from datetime import date

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
STAFF = "12"


class Display:
    def __init__(self, display):
        self.env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")

    def run(self, *args):
        return subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=30).stdout

    def windows(self):
        """The visible top-level windows by id, with the names the window system gives them."""
        out = {}
        for wid in self.run("xdotool", "search", "--onlyvisible", "--name", ".").split():
            props = self.run("xprop", "-id", wid, "WM_NAME", "_NET_WM_NAME")
            names = [line.split(" = ", 1)[1].strip().strip('"') for line in props.splitlines() if " = " in line]
            if names:
                out[wid] = names
        return out

    def wait_for(self, name, timeout=15):
        """The window whose every name is exactly `name`; fails when none shows up in time."""
        end = time.time() + timeout
        while time.time() < end:
            for wid, names in self.windows().items():
                if all(n == name for n in names):
                    return wid
            time.sleep(0.1)
        raise AssertionError(f"no window named {name!r}; the windows are {sorted(self.windows().values())}")

    def gone(self, name, timeout=10):
        end = time.time() + timeout
        while time.time() < end:
            if not any(name in names for names in self.windows().values()):
                return
            time.sleep(0.1)
        raise AssertionError(f"the window {name!r} is still there")

    def names(self):
        return sorted(n[0] for n in self.windows().values())

    def key(self, *keys):
        for k in keys:
            self.run("xdotool", "key", "--clearmodifiers", k)
            time.sleep(0.15)

    def type(self, text):
        self.run("xdotool", "type", "--delay", "50", text)
        time.sleep(0.2)

    def activate(self, wid):
        self.run("xdotool", "windowactivate", "--sync", wid)
        time.sleep(0.2)


def program_folder(tolvar, work, save_folder, template=os.path.join(TOP, "assets", "MST_PO.xls")):
    folder = os.path.join(work, "app")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    shutil.copy(tolvar, os.path.join(folder, "tolvar"))
    shutil.copy(template, folder)
    db = os.path.join(folder, "demo.db")
    subprocess.run(["/usr/bin/python3", os.path.join(TOP, "assets", "demo", "make_demo_db.py"), db], check=True,
                   capture_output=True)
    with open(os.path.join(folder, "tolvar.ini"), "w", encoding="utf-8") as f:
        f.write(f"\ufeff[PO_DB]\r\nPROVIDER=SQLite\r\nSERVER_NM=demo.db\r\n[全般]\r\nPO_SAVE_FOLDER={save_folder}\r\n")
    return folder, db


def shift_months(d, months):
    """The date months later, on the same day or the month's last (as the search window's start state)."""
    y, m = divmod(d.year * 12 + d.month - 1 + months, 12)
    leap = y % 4 == 0 and (y % 100 != 0 or y % 400 == 0)
    last = [31, 29 if leap else 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31][m]
    return date(y, m + 1, min(d.day, last))


def expected_rows(db):
    """The PO numbers the start-up search of the staff code lists, in the grid's order."""
    today = date.today()
    lo, hi = (shift_months(today, n).strftime("%Y/%m/%d") for n in (-3, 1))
    con = sqlite3.connect(db)
    rows = con.execute("SELECT PO番号 FROM TBL_PO_H WHERE 発注元担当者CD LIKE ? AND PO発行日 BETWEEN ? AND ? "
                       "ORDER BY PO番号 DESC", (STAFF + "%", lo, hi)).fetchall()
    con.close()
    return [po for (po,) in rows]


def start(x, folder):
    proc = subprocess.Popen([os.path.join(folder, "tolvar"), STAFF], env=x.env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    main = x.wait_for("Tolvar")
    x.activate(main)
    return proc, main


def keyboard_workflow(x, tolvar, work, grab):
    out = os.path.join(work, "out")
    os.makedirs(out, exist_ok=True)
    folder, db = program_folder(tolvar, work, out + "/")
    rows = expected_rows(db)
    assert len(rows) >= 3, f"the demo data gives staff {STAFF} only {len(rows)} rows"
    proc, main = start(x, folder)
    try:
        # The staff code has the focus; Tab through 区分, the two dates and 番号 to 検索, Enter on it.
        x.key("Tab", "Tab", "Tab", "Tab", "Tab", "Return")
        time.sleep(1)
        if grab:
            picture(x, grab, main, os.path.join(work, "search-window.png"))
        # Tab into the grid, down two rows, Enter: the dialog of the third row, captioned with its PO number.
        x.key("Tab", "Down", "Down", "Return")
        x.wait_for(rows[2])
        # Tab to ｷｬﾝｾﾙ and Enter: nothing is written.
        x.key("Tab", "Return")
        x.gone(rows[2])
        assert not os.listdir(out), f"ｷｬﾝｾﾙ wrote {os.listdir(out)}"
        # Enter on the row again, Enter on OK: the workbook, and the notice captioned 終了.
        x.key("Return")
        x.wait_for(rows[2])
        x.key("Return")
        x.wait_for("終了")
        assert os.listdir(out) == [rows[2] + ".xls"], os.listdir(out)
        x.key("Return")
        x.gone("終了")
        x.gone(rows[2])
        # Tab leaves the grid for 得意先: a customer code no PO has, back to 検索, Enter.
        x.key("Tab")
        x.type("Z99")
        x.key("shift+Tab", "shift+Tab", "Return")
        time.sleep(1)
        # The grid is empty now: Enter on it opens nothing.
        x.key("Tab", "Return")
        time.sleep(1)
        assert x.names() == ["Tolvar"], f"after a search without rows: {x.names()}"
        # On to "..." (得意先, the save folder, "...") and Enter: the folder picker.
        x.key("Tab", "Tab", "Tab", "Return")
        x.wait_for("保存先の指定")
        x.key("Escape")
        x.gone("保存先の指定")
    finally:
        proc.terminate()
        proc.wait(10)


def grid_point(x, main, row):
    """A point of the grid's first column in the row (from 0), on the screen."""
    geometry = dict(line.strip().split(": ", 1) for line in x.run("xwininfo", "-id", main).splitlines() if ": " in line)
    left, top = int(geometry["Absolute upper-left X"]), int(geometry["Absolute upper-left Y"])
    # The grid starts 8, 88 pixels into the window, its record selectors are 19 pixels wide, its
    # header about 20 pixels high and a row 19.
    return left + 8 + 19 + 20, top + 88 + 22 + 19 * row + 9


@contextlib.contextmanager
def searched(x, tolvar, work, name, **template):
    """The program started on a save folder of its own and the staff code's search made with the
    keyboard: the save folder, the rows and the window; the program ends with the block."""
    out = os.path.join(work, name)
    os.makedirs(out, exist_ok=True)
    folder, db = program_folder(tolvar, work, out + "/", **template)
    proc, main = start(x, folder)
    try:
        x.key("Tab", "Tab", "Tab", "Tab", "Tab", "Return")
        time.sleep(1)
        yield out, expected_rows(db), main
    finally:
        proc.terminate()
        proc.wait(10)


def batch_form_with_pdfs(x, count):
    """The batch form of `count` POs: Tab to the PDF box past ｷｬﾝｾﾙ and the folder box, tick it, Enter
    for OK, and Enter on the notice captioned 終了 when the batch is done."""
    x.wait_for(f"{count}件")
    x.key("Tab", "Tab", "Tab", "space", "Return")
    x.wait_for("終了", timeout=120)
    x.key("Return")
    x.gone("終了")


def batch_with_pdfs(x, tolvar, work):
    """Rows selected with the keyboard and the mouse, the grid's menu by the right button, Shift+F10
    and the Menu key, the batch form with its PDF box ticked, the PDFs read back by poppler."""
    with searched(x, tolvar, work, "batch-out") as (out, rows, main):
        # Into the grid, and the first three rows selected with Shift+Down.
        x.key("Tab", "shift+Down", "shift+Down")
        # The right button on a selected row keeps the selection.
        px, py = grid_point(x, main, 1)
        x.run("xdotool", "mousemove", str(px), str(py))
        x.run("xdotool", "click", "3")
        time.sleep(0.5)
        x.key("Down", "Return")
        x.wait_for("3件")
        x.key("Escape")
        x.gone("3件")
        # Shift+F10, then the Menu key; the batch form with its PDF box ticked.
        x.key("shift+F10", "Down", "Return")
        x.wait_for("3件")
        x.key("Escape")
        x.gone("3件")
        x.key("Menu", "Down", "Return")
        batch_form_with_pdfs(x, 3)
        made = sorted(os.listdir(out))
        expected = sorted(po + ext for po in rows[:3] for ext in (".xls", ".pdf"))
        assert made == expected, f"the batch made {made}, not {expected}"
        for po in rows[:3]:
            pdf = os.path.join(out, po + ".pdf")
            info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True).stdout
            assert "Pages:" in info and int(info.split("Pages:")[1].split()[0]) >= 2, f"{pdf}: {info}"
            text = subprocess.run(["pdftotext", pdf, "-"], capture_output=True, text=True).stdout
            assert po in text, f"{pdf} does not show {po}"


def xlsx_template(x, tolvar, work):
    """The form saved as .xlsx beside the program, with no .xls: the dialog's workbook and a batch
    with PDFs are .xlsx workbooks, which openpyxl opens with the PO number on their first page."""
    import openpyxl
    with searched(x, tolvar, work, "xlsx-out", template=os.path.join(TOP, "bench", "MST_PO.xlsx")) as (out, rows, _):
        x.key("Tab", "Return")
        x.wait_for(rows[0])
        x.key("Return")
        x.wait_for("終了")
        x.key("Return")
        x.gone("終了")
        assert os.listdir(out) == [rows[0] + ".xlsx"], os.listdir(out)
        x.key("Down", "shift+Down", "Menu", "Down", "Return")
        batch_form_with_pdfs(x, 2)
        made = sorted(os.listdir(out))
        expected = sorted([rows[0] + ".xlsx"] + [po + ext for po in rows[1:3] for ext in (".xlsx", ".pdf")])
        assert made == expected, f"the batch made {made}, not {expected}"
        for po in rows[:3]:
            book = openpyxl.load_workbook(os.path.join(out, po + ".xlsx"))
            cells = [str(c.value) for row in book.worksheets[0].iter_rows() for c in row if c.value is not None]
            assert len(book.worksheets) >= 2 and any(po in c for c in cells), f"{po}.xlsx: {book.sheetnames}"
        for po in rows[1:3]:
            text = subprocess.run(["pdftotext", os.path.join(out, po + ".pdf"), "-"], capture_output=True,
                                  text=True).stdout
            assert po in text, f"{po}.pdf does not show {po}"


def cancel_with_escape(x, tolvar, work):
    """Every row of the grid with PDFs, Escape on the progress window while LibreOffice prints: the
    batch stops at once, the workbooks and the PDFs finished by then stay, no more are made."""
    with searched(x, tolvar, work, "cancel-out") as (out, rows, _):
        x.key("Tab", "ctrl+a", "Menu", "Down", "Return")
        caption = f"{len(rows)}件"
        x.wait_for(caption)
        x.key("Tab", "Tab", "Tab", "space", "Return")
        # The workbooks take a second; LibreOffice then needs seconds for all the PDFs, which it
        # writes to a folder of its own: they come into the save folder together at the end.
        time.sleep(4)
        pressed = time.time()
        x.key("Escape")
        x.wait_for("終了", timeout=5)
        took = time.time() - pressed
        time.sleep(2)
        pdfs = [f for f in os.listdir(out) if f.endswith(".pdf")]
        workbooks = [f for f in os.listdir(out) if f.endswith(".xls")]
        assert len(workbooks) == len(rows), f"{len(workbooks)} workbooks of {len(rows)}"
        assert len(pdfs) < len(rows), f"{len(pdfs)} PDFs of {len(rows)} after Escape"
        assert took < 1.5, f"Escape took {took:.1f} s to end the batch"
        assert not [f for f in os.listdir(out) if not f.endswith((".pdf", ".xls"))], os.listdir(out)
        x.key("Return")
        x.gone("終了")


def error_caption(x, tolvar, work):
    folder, _ = program_folder(tolvar, work, os.path.join(work, "no-such-folder") + "/")
    proc, _ = start(x, folder)
    try:
        x.key("Tab", "Tab", "Tab", "Tab", "Tab", "Return")
        time.sleep(1)
        x.key("Tab", "Return")
        x.wait_for("エラー")
        x.key("Return")
        x.gone("エラー")
    finally:
        proc.terminate()
        proc.wait(10)


def sql_server_search(x, tolvar, work, grab):
    """The search window on the T-SQL test server beside the same window on the server's data in
    SQLite: the start-up search of the staff code by keyboard lists the same rows (its batch
    counts them, the third row's dialog names it), and the two windows look alike to the pixel,
    dates and all."""
    server = json.load(open(os.environ["TOLVAR_TEST_TDS_FILE"], encoding="utf-8"))
    out = os.path.join(work, "tds-out")
    os.makedirs(out, exist_ok=True)
    rows = expected_rows(server["sqlite"]["demo"])
    pictures = []
    for name, settings in (
            ("sqlite", f"PROVIDER=SQLite\r\nSERVER_NM={server['sqlite']['demo']}\r\n"),
            ("sqlserver", f"PROVIDER=SQLOLEDB\r\nSERVER_NM=127.0.0.1,{server['port']}\r\n"
                          f"DB_NM={server['databases']['demo']}\r\nDBUSER_NM={server['user']}\r\n"
                          f"PASSWORD={server['password']}\r\n")):
        folder = os.path.join(work, "app-" + name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        shutil.copy(tolvar, os.path.join(folder, "tolvar"))
        shutil.copy(os.path.join(TOP, "assets", "MST_PO.xls"), folder)
        with open(os.path.join(folder, "tolvar.ini"), "w", encoding="utf-8") as f:
            f.write(f"\ufeff[PO_DB]\r\n{settings}[全般]\r\nPO_SAVE_FOLDER={out}/\r\n")
        proc, main = start(x, folder)
        try:
            x.key("Tab", "Tab", "Tab", "Tab", "Tab", "Return")
            time.sleep(2)
            if grab:
                pictures.append(os.path.join(work, f"search-{name}.png"))
                picture(x, grab, main, pictures[-1])
            x.key("Tab", "ctrl+a", "Menu", "Down", "Return")
            x.wait_for(f"{len(rows)}件", timeout=30)
            x.key("Escape")
            x.gone(f"{len(rows)}件")
            x.key("Down", "Down", "Return")
            x.wait_for(rows[2])
            x.key("Escape")
            x.gone(rows[2])
        finally:
            proc.terminate()
            proc.wait(10)
    if len(pictures) == 2:
        same = open(pictures[0], "rb").read() == open(pictures[1], "rb").read()
        assert same, f"the search windows differ: {pictures[0]} and {pictures[1]}"


def picture(x, grab, wid, path):
    """The window with its frame, as the screen shows it."""
    info = dict(line.strip().split(": ", 1) for line in x.run("xwininfo", "-id", wid).splitlines() if ": " in line)
    px, py = int(info["Absolute upper-left X"]), int(info["Absolute upper-left Y"])
    w, h = int(info["Width"]), int(info["Height"])
    extents = x.run("xprop", "-id", wid, "_NET_FRAME_EXTENTS").split("=")[-1]
    left, right, top, bottom = (int(v) for v in extents.split(",")) if "," in extents else (0, 0, 0, 0)
    subprocess.run([grab, "0", path, str(px - left), str(py - top), str(w + left + right), str(h + top + bottom)],
                   env=x.env, check=True, capture_output=True)


def main():
    tolvar, work, display_file = sys.argv[1:4]
    grab = sys.argv[4] if len(sys.argv) > 4 else None
    if not os.path.isfile(display_file):
        sys.exit(f"no X session: {display_file} is missing (tests/display/x-session.sh start makes it)")
    x = Display(open(display_file).read().strip())
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    failures = []
    for name, test in [("the keyboard workflow and its captions", lambda: keyboard_workflow(x, tolvar, work, grab)),
                       ("the caption of an error", lambda: error_caption(x, tolvar, work)),
                       ("a batch with PDFs from the grid's menu", lambda: batch_with_pdfs(x, tolvar, work)),
                       ("Escape ends a batch part-way", lambda: cancel_with_escape(x, tolvar, work)),
                       ("an .xlsx template: the dialog and a batch", lambda: xlsx_template(x, tolvar, work)),
                       ("the search on SQL Server, as on the same data in SQLite",
                        lambda: sql_server_search(x, tolvar, work, grab))]:
        try:
            test()
            print(f"ok: {name}")
        except AssertionError as e:
            failures.append(f"{name}: {e}")
            print(f"FAIL: {name}: {e}")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
