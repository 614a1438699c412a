#!/usr/bin/python3
"""tolvar-po --pdf as a whole process, read back by poppler: a PDF beside each workbook with a
page per sheet and the PO's figures in its text, one LibreOffice for the whole batch, a LibreOffice
the user has open left alone; and when LibreOffice is missing, fails or hangs, the workbooks kept,
no PDF and no stray file, the reason on standard error and LibreOffice gone.

usage: pdf_output_test.py TOLVAR_PO DEMO_DB WORK_DIR
"""
import math
import os
import re
import shutil
import signal
import subprocess
import sys
import time

import xlrd

TOLVAR_PO, DEMO_DB, WORK = sys.argv[1:4]
# Demo POs of 1, 21 and 45 lines: one, two and three pages of the form.
POS = {"P26-0002": 1, "P26-0005": 21, "P26-0007": 45}
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def fresh(name):
    folder = os.path.join(WORK, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(os.path.join(folder, "out"))
    os.makedirs(os.path.join(folder, "bin"))
    shutil.copy(DEMO_DB, os.path.join(folder, "po.db"))
    with open(os.path.join(folder, "tolvar.ini"), "w", encoding="utf-8") as f:
        f.write("[PO_DB]\nPROVIDER=SQLite\nSERVER_NM=%s/po.db\n[全般]\nPO_SAVE_FOLDER=%s/out/\n" % (folder, folder))
    os.makedirs(os.path.join(folder, "home"))
    return folder


def run(folder, args, path=None, timeout=300):
    env = dict(os.environ, HOME=os.path.join(folder, "home"))
    if path is not None:
        env["PATH"] = path
    started = time.monotonic()
    p = subprocess.run([TOLVAR_PO, "--settings", os.path.join(folder, "tolvar.ini")] + args,
                       capture_output=True, text=True, env=env, timeout=timeout)
    return p, time.monotonic() - started


def stand_in(folder, body):
    """An soffice of the test's own, first on PATH."""
    path = os.path.join(folder, "bin", "soffice")
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + body)
    os.chmod(path, 0o755)
    return os.path.join(folder, "bin") + ":" + os.environ["PATH"]


def pdf_text(path):
    return subprocess.run(["pdftotext", "-layout", path, "-"], capture_output=True, text=True).stdout


def pdf_pages(path):
    info = subprocess.run(["pdfinfo", path], capture_output=True, text=True).stdout
    m = re.search(r"^Pages:\s+(\d+)", info, re.M)
    return int(m.group(1)) if m else -1


def shown(value):
    """The ways the form may show a number: with thousands separators, whole or with decimals."""
    return {"{:,.0f}".format(value), "{:,.2f}".format(value), "{:,}".format(value)}


def out_files(folder):
    return sorted(os.listdir(os.path.join(folder, "out")))


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    with open("/proc/%d/stat" % pid) as f:
        return f.read().split(")")[-1].split()[0] != "Z"


# Every sheet a page, the PO's number and figures in the text; one LibreOffice for all.
folder = fresh("pages")
log = os.path.join(folder, "soffice.log")
path = stand_in(folder, 'echo "$@" >> %s\nexec %s "$@"\n' % (log, shutil.which("soffice")))
p, _ = run(folder, ["--pdf"] + list(POS), path=path)
check(p.returncode == 0, "three POs with --pdf: status 0 (%d: %s)" % (p.returncode, p.stderr.strip()))
check("3 of 3 workbooks made, 0 not found, 0 failed; 3 PDFs made, 0 failed" in p.stderr, "the summary line")
with open(log) as f:
    check(len(f.readlines()) == 1, "one LibreOffice process for the three PDFs")
check(out_files(folder) == sorted([n + ext for n in POS for ext in (".pdf", ".xls")]),
      "nothing but the workbooks and their PDFs in the folder: %s" % out_files(folder))
for po, lines in POS.items():
    pdf = os.path.join(folder, "out", po + ".pdf")
    pages = math.ceil(lines / 20)
    check(pdf_pages(pdf) == 2 * pages, "%s (%d lines): %d pages, a delivery and an order sheet a page"
          % (po, lines, 2 * pages))
    text = pdf_text(pdf)
    book = xlrd.open_workbook(os.path.join(folder, "out", po + ".xls"))
    # The largest line amount of the first page (column BC, a line every other row from 17), and
    # the total of the last page (BC57).
    amount = max(book.sheet_by_name("PO1").cell_value(r, 54) or 0 for r in range(16, 16 + 2 * min(lines, 20), 2))
    total = book.sheet_by_name("PO%d" % pages).cell_value(56, 54)
    check(po in text, "%s: the PO number in the text" % po)
    if pages > 1:
        check("%s-%d" % (po, pages) in text, "%s: the last page's number %s-%d" % (po, po, pages))
    check(any(s in text for s in shown(amount)), "%s: a line's amount %s" % (po, amount))
    check(any(s in text for s in shown(total)), "%s: the total %s" % (po, total))

# A LibreOffice the user has open on the profile folder tolvar's would share without one of its own,
# and busy (stopped, as behind a dialog that waits for the user): a LibreOffice started without its
# own profile hands its work to that one and waits for ever.
folder = fresh("user-libreoffice")
env = dict(os.environ, HOME=os.path.join(folder, "home"))
user = subprocess.Popen(["soffice", "--headless", "--norestore", "--accept=pipe,name=tolvar-test-user;urp;"],
                        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
try:
    time.sleep(5)
    os.killpg(user.pid, signal.SIGSTOP)
    p, _ = run(folder, ["--pdf", "--pdf-timeout", "60", "P26-0002"], timeout=120)
    check(p.returncode == 0 and os.path.exists(os.path.join(folder, "out", "P26-0002.pdf")),
          "with the user's LibreOffice open and busy the PDF is made (%d: %s)" % (p.returncode, p.stderr.strip()))
    os.killpg(user.pid, signal.SIGCONT)
    check(user.poll() is None, "the user's LibreOffice is still running")
finally:
    os.killpg(user.pid, signal.SIGKILL)
    user.wait()

# LibreOffice missing from PATH.
folder = fresh("missing")
p, _ = run(folder, ["--pdf", "P26-0002", "P26-0005"], path=os.path.join(folder, "bin"))
check(p.returncode == 1, "soffice missing: status 1")
check(out_files(folder) == ["P26-0002.xls", "P26-0005.xls"], "soffice missing: the workbooks, no PDF")
check(p.stderr.count("LibreOffice (soffice) が見つかりません。 (-3101)") == 2, "soffice missing: said for each PDF")

# LibreOffice that fails.
folder = fresh("fails")
p, _ = run(folder, ["--pdf", "P26-0002"], path=stand_in(folder, "echo broken >&2\nexit 77\n"))
check(p.returncode == 1 and "(-3102)" in p.stderr and out_files(folder) == ["P26-0002.xls"],
      "a failing soffice: status 1, the reason, the workbook and no PDF (%s)" % p.stderr.strip())

# LibreOffice that hangs: stopped at the time-out with whatever it started.
folder = fresh("hangs")
pids = os.path.join(folder, "pids")
p, took = run(folder, ["--pdf", "--pdf-timeout", "2", "P26-0002", "P26-0005"],
              path=stand_in(folder, "echo $$ > %s\nsleep 300 &\necho $! >> %s\nwait\n" % (pids, pids)))
check(p.returncode == 1 and p.stderr.count("(-3103)") == 2, "a hanging soffice: status 1, time-out said for each")
check(took < 20, "a hanging soffice: given up after the time-out (%.1f s)" % took)
check(out_files(folder) == ["P26-0002.xls", "P26-0005.xls"], "a hanging soffice: the workbooks, nothing else")
with open(pids) as f:
    left = [int(x) for x in f.read().split() if alive(int(x))]
check(not left, "a hanging soffice: it and its children are gone (%s)" % left)

# A LibreOffice slower in all than the time-out but quick for each PDF is not given up.
folder = fresh("steady")
slow = stand_in(folder, """out=""
while [ $# -gt 0 ]; do
  case "$1" in --outdir) out=$2; shift ;; *.xls) files="$files $1" ;; esac
  shift
done
mkdir -p "$out"
for f in $files; do
  echo "convert $f"
  sleep 1.2
  n=$(basename "$f" .xls)
  printf '%%PDF-1.4 stand-in' > "$out/$n.pdf"
done
""")
p, took = run(folder, ["--pdf", "--pdf-timeout", "2"] + list(POS), path=slow)
check(p.returncode == 0 and len([f for f in out_files(folder) if f.endswith(".pdf")]) == 3,
      "3 PDFs in %.1f s with a time-out of 2 s for each: all made (%s)" % (took, p.stderr.strip()))

print("%d failed" % len(failures) if failures else "all passed")
sys.exit(1 if failures else 0)
