#!/usr/bin/python3
"""Embedded charts through LibreOffice's own API (UNO), for the chart tests:

    charts_uno.py make TEMPLATE OUT.xls      the template with three charts: on the delivery form
                                             one of its own cells and one of the order form's
                                             cells, on the order form one of its own cells
                                             (OUT.xlsx: saved as Office Open XML)
    charts_uno.py encrypt IN OUT.xlsx PASS   IN saved as Office Open XML under a password
    charts_uno.py read WORK_DIR FILE...      prints JSON: for each file, for each sheet in order,
                                             its charts, each as the list of ranges it plots
                                             ("sheet name!A1:B2")

LibreOffice runs headless with a profile of its own in WORK_DIR (make: beside OUT).
"""
import json
import os
import subprocess
import sys
import tempfile
import time

import uno
from xlrd_dump import address
from com.sun.star.awt import Rectangle
from com.sun.star.beans import PropertyValue
from com.sun.star.table import CellRangeAddress

# What the made template's charts plot: (chart's sheet, plotted sheet, first row, last row, column),
# rows and columns counted from 0. Column AC (28) holds the delivery form's quantities and the order
# form's prices; the rows are the first lines of each form.
CHARTS = [(0, 0, 19, 24, 28), (0, 1, 17, 22, 28), (1, 1, 17, 22, 28)]


def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


class Office:
    def __init__(self, work):
        self.profile = os.path.join(work, "uno-profile")
        self.pipe = f"tolvar_charts_{os.getpid()}"
        self.proc = subprocess.Popen(
            ["soffice", f"-env:UserInstallation=file://{self.profile}", "--headless", "--invisible", "--norestore",
             f"--accept=pipe,name={self.pipe};urp;"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        for _ in range(600):
            try:
                ctx = resolver.resolve(f"uno:pipe,name={self.pipe};urp;StarOffice.ComponentContext")
                break
            except Exception:
                if self.proc.poll() is not None:
                    raise SystemExit("LibreOffice ended before it answered")
                time.sleep(0.1)
        else:
            raise SystemExit("LibreOffice did not answer in 60 s")
        self.desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)

    def open(self, path):
        # Under load LibreOffice now and then gives no document for a file it opens at the next try.
        for _ in range(3):
            doc = self.desktop.loadComponentFromURL(uno.systemPathToFileUrl(os.path.abspath(path)), "_blank", 0,
                                                    (prop("Hidden", True),))
            if doc is not None:
                return doc
            time.sleep(1)
        raise SystemExit(f"LibreOffice could not open {path}")

    def close(self):
        try:
            self.desktop.terminate()
        except Exception:
            pass
        try:
            self.proc.wait(30)
        except subprocess.TimeoutExpired:
            self.proc.kill()


def make(template, out):
    office = Office(os.path.dirname(os.path.abspath(out)))
    try:
        doc = office.open(template)
        sheets = doc.Sheets
        for k, (on, data, first, last, col) in enumerate(CHARTS):
            r = CellRangeAddress()
            r.Sheet, r.StartColumn, r.EndColumn, r.StartRow, r.EndRow = data, col, col, first, last
            # Below the form, out of the way of its cells.
            where = Rectangle(1000 + 9000 * k, 120000, 8000, 5000)
            sheets.getByIndex(on).Charts.addNewByName(f"chart{k + 1}", where, (r,), False, False)
        doc.storeToURL(uno.systemPathToFileUrl(os.path.abspath(out)), (prop("FilterName", filter_for(out)),))
        doc.close(True)
    finally:
        office.close()


def filter_for(path):
    return "Calc MS Excel 2007 XML" if path.endswith(".xlsx") else "MS Excel 97"


def encrypt(source, out, password):
    office = Office(os.path.dirname(os.path.abspath(out)))
    try:
        doc = office.open(source)
        doc.storeToURL(uno.systemPathToFileUrl(os.path.abspath(out)),
                       (prop("FilterName", filter_for(out)), prop("Password", password)))
        doc.close(True)
    finally:
        office.close()


def read(work, files):
    office = Office(work)
    out = {}
    try:
        for path in files:
            doc = office.open(path)
            names = doc.Sheets.ElementNames
            sheets = []
            for i in range(doc.Sheets.Count):
                charts = doc.Sheets.getByIndex(i).Charts
                sheets.append([[f"{names[r.Sheet]}!{address(r.StartRow, r.StartColumn)}:{address(r.EndRow, r.EndColumn)}"
                                for r in charts.getByIndex(c).Ranges] for c in range(charts.Count)])
            out[path] = sheets
            doc.close(True)
    finally:
        office.close()
    print(json.dumps(out, ensure_ascii=False))


def main():
    if len(sys.argv) >= 4 and sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 5 and sys.argv[1] == "encrypt":
        encrypt(*sys.argv[2:5])
    elif len(sys.argv) >= 3 and sys.argv[1] == "read":
        read(sys.argv[2], sys.argv[3:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
