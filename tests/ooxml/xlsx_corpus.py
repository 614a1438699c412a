#!/usr/bin/python3
"""The .xlsx engine against workbooks a spreadsheet application saved, judged by other readers.

    xlsx_corpus.py XLSX_TOOL WORK_DIR FILE...

For each file, xlsx_tool copies every worksheet to the end, renames the copies, writes text,
numbers, dates and blanks into them and reads the saved bytes back. Then: the package checker finds
nothing in the output that it does not find in the original; openpyxl reads it, and on every copy
finds the written cells as written and every other cell, merged range, validation, conditional
format, comment, image and chart as on the sheet it copies; LibreOffice and gnumeric show every
cell of every copy as on its source, the written ones aside; and a chart on a copy that plotted its
own sheet plots the copy.
"""
import csv
import datetime
import glob
import os
import re
import shutil
import subprocess
import sys
import warnings
import zipfile

import openpyxl

LO_CSV = "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1"
WRITTEN = {"A1", "B2", "C3", "D4", "E5", "F6"}

# openpyxl warns of what it makes up for in files other programs wrote; the judges say what matters.
warnings.filterwarnings("ignore", module="openpyxl")


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=600, **kw)


def copies(book):
    """Each copy's name and the name of the sheet it copies (copies are named コピーN after sheet N)."""
    names = book.sheetnames
    return [(n, names[int(n[3:]) - 1]) for n in names if re.fullmatch(r"コピー\d", n)]


def judge_openpyxl(name, path, problems):
    try:
        book = openpyxl.load_workbook(path)
    except Exception as e:  # noqa: BLE001 - any failure to read is the finding
        problems.append(f"{name}: openpyxl cannot read the output: {e}")
        return []
    pairs = copies(book)
    for copy_name, source_name in pairs:
        copy, source = book[copy_name], book[source_name]
        where = f"{name} {copy_name}"
        # The cells held, not the sheet's whole extent (a comment may sit at XFD1048576).
        for key, cell in list(source._cells.items()):
            if cell.coordinate in WRITTEN:
                continue
            other = copy._cells.get(key)
            a, b = cell.value, other.value if other else None
            if isinstance(a, str) and a.startswith("="):
                same = isinstance(b, str) and b.startswith("=")
            else:
                same = a == b
            if not same or (other and cell.number_format != other.number_format):
                problems.append(f"{where} {cell.coordinate}: {b!r}, not {a!r} ({cell.number_format})")
        for attribute in ("merged_cells",):
            if str(getattr(copy, attribute)) != str(getattr(source, attribute)):
                problems.append(f"{where}: {attribute} differ")
        counts = lambda ws: (len(ws.data_validations.dataValidation), len(ws.conditional_formatting),  # noqa: E731
                             len(ws._images), len(ws._charts), len(ws.tables),
                             sum(1 for c in list(ws._cells.values()) if c.comment))
        if counts(copy) != counts(source):
            problems.append(f"{where}: validations, formats, images, charts, tables, comments "
                            f"{counts(copy)}, not {counts(source)}")
        expected = {"A1": "書き込み", "B2": 12.5, "E5": -3.25}
        for ref, value in expected.items():
            if copy[ref].value != value and ref not in skipped_cells(path):
                problems.append(f"{where} {ref}: {copy[ref].value!r}, not {value!r}")
        d4 = copy["D4"].value
        if d4 not in (datetime.datetime(2024, 1, 5), "2024/01/05") and "D4" not in skipped_cells(path):
            problems.append(f"{where} D4: {d4!r}, not the date 2024-01-05")
    return pairs


SKIPPED = {}


def skipped_cells(path):
    return SKIPPED.get(path, set())


def csv_sheets(folder, stem):
    sheets = {}
    for path in glob.glob(os.path.join(folder, stem + "-*.csv")):
        with open(path, encoding="utf-8", newline="") as f:
            sheets[os.path.basename(path)[len(stem) + 1:-4]] = list(csv.reader(f))
    return sheets


def gnumeric_sheets(path, folder):
    os.makedirs(folder, exist_ok=True)
    r = run(["ssconvert", "-S", path, os.path.join(folder, "%s.csv")])
    if r.returncode != 0:
        return None
    sheets = {}
    for csv_path in glob.glob(os.path.join(folder, "*.csv")):
        with open(csv_path, encoding="utf-8", newline="") as f:
            sheets[os.path.basename(csv_path)[:-4]] = list(csv.reader(f))
    return sheets


def written_position(ref):
    col = ord(ref[0]) - ord("A")
    return int(ref[1:]) - 1, col


def layout(path):
    """For each sheet: the cells that hold formulas (their results may follow the written cells), and
    the first row and column holding anything, where a reader's text export begins."""
    book = openpyxl.load_workbook(path)
    sheets = {}
    for ws in book.worksheets:
        held = [(r, c) for (r, c), cell in ws._cells.items() if cell.value not in (None, "")]
        formulas = {(r - 1, c - 1) for (r, c), cell in ws._cells.items() if cell.data_type == "f"}
        first_row = min((r for r, _ in held), default=1)
        first_col = min((c for _, c in held), default=1)
        sheets[ws.title] = (formulas, first_row - 1, first_col - 1)
    return sheets


def shifted(rows, down, right):
    return [[] for _ in range(down)] + [[""] * right + row for row in rows]


def judge_text(reader, name, sheets, pairs, problems, cells, from_a1):
    """The text each cell of a copy shows is the text of its source's cell, written cells and formulas
    aside. `from_a1`: the reader exports from A1, not from the first cell held."""
    if sheets is None:
        problems.append(f"{name}: {reader} cannot read the output")
        return
    skip = {written_position(ref) for ref in WRITTEN}
    for copy_name, source_name in pairs:
        copy, source = sheets.get(copy_name), sheets.get(source_name)
        formulas, down, right = cells[source_name]
        if copy is not None and source is not None and not from_a1:
            source = shifted(source, down, right)
        if copy is None or source is None:
            problems.append(f"{name}: {reader} shows no sheet {copy_name} or {source_name}")
            continue
        rows = max(len(copy), len(source))
        for r in range(rows):
            a = source[r] if r < len(source) else []
            b = copy[r] if r < len(copy) else []
            for c in range(max(len(a), len(b))):
                if (r, c) in skip or (r, c) in formulas:
                    continue
                x = a[c] if c < len(a) else ""
                y = b[c] if c < len(b) else ""
                if x != y:
                    problems.append(f"{name} {copy_name}: {reader} shows {y!r} at row {r + 1} column {c + 1}, "
                                    f"not {x!r}")
                    break


def max_extent(path):
    book = openpyxl.load_workbook(path)
    return max(max(ws.max_row or 0, ws.max_column or 0) for ws in book.worksheets)


def sheet_charts(path):
    """For each worksheet, by name: the sheet names its charts' formulas refer to."""
    def rels(z, part):
        folder, name = os.path.split(part)
        rels_part = f"{folder}/_rels/{name}.rels"
        if rels_part not in z.namelist():
            return []
        text = z.read(rels_part).decode("utf-8")
        return [(t.rsplit("/", 1)[-1], os.path.normpath(os.path.join(folder, target)))
                for t, target in re.findall(r'Type="([^"]+)"[^>]*Target="([^"]+)"', text)]

    refs = {}
    with zipfile.ZipFile(path) as z:
        workbook = z.read("xl/workbook.xml").decode("utf-8")
        ids = re.findall(r'<sheet [^>]*name="([^"]+)"[^>]*r:id="([^"]+)"', workbook)
        by_id = dict(re.findall(r'Id="([^"]+)"[^>]*Target="([^"]+)"', z.read("xl/_rels/workbook.xml.rels").decode()))
        for sheet, rid in ids:
            part = os.path.normpath(os.path.join("xl", by_id[rid])).lstrip("/")
            found = set()
            for kind, drawing in rels(z, part):
                for kind2, chart in (rels(z, drawing) if kind == "drawing" else []):
                    if kind2 == "chart":
                        text = z.read(chart).decode("utf-8")
                        found |= {m.strip("'") for m in re.findall(r"<c:f>('(?:[^']|'')*'|[^!<]+)!", text)}
            refs[sheet.replace("&amp;", "&")] = found
    return refs


def main():
    tool, work = sys.argv[1:3]
    files = sys.argv[3:]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    problems = []
    outputs = {}
    for path in files:
        name = os.path.basename(path)
        out = os.path.join(work, "out", re.sub(r"\.xlsm$", ".xlsx", name))
        os.makedirs(os.path.dirname(out), exist_ok=True)
        r = run([tool, "copyall", path, out])
        if r.returncode != 0:
            problems.append(f"{name}: xlsx_tool copyall ended with {r.returncode}: {r.stderr.strip()[-400:]}")
            continue
        SKIPPED[out] = set(re.findall(r"skip cell (\w+)", r.stderr))
        before = set(run([tool, "check", path]).stdout.splitlines())
        after = [p for p in run([tool, "check", out]).stdout.splitlines() if p not in before]
        problems += [f"{name}: the checker finds {p}" for p in after]
        with zipfile.ZipFile(out) as z:
            if any(n.lower().endswith("vbaproject.bin") for n in z.namelist()):
                problems.append(f"{name}: the output still holds the VBA project")
        outputs[name] = out

    pairs = {name: judge_openpyxl(name, out, problems) for name, out in outputs.items()}

    # The readers that show text export a sheet's whole extent: one reaching XFD1048576 (a comment
    # there) would be gigabytes of empty cells, so those are left to openpyxl.
    shown = {name: out for name, out in outputs.items() if max_extent(out) <= 10000}
    lo = os.path.join(work, "lo")
    os.makedirs(lo)
    run(["soffice", "--headless", "--convert-to", LO_CSV, "--outdir", lo, *shown.values()],
        env=dict(os.environ, HOME=os.path.join(work, "lo-home")))
    for name, out in shown.items():
        stem = os.path.splitext(os.path.basename(out))[0]
        cells = layout(out)
        judge_text("LibreOffice", name, csv_sheets(lo, stem) or None, pairs[name], problems, cells, True)
        judge_text("gnumeric", name, gnumeric_sheets(out, os.path.join(work, "gnumeric", stem)), pairs[name],
                   problems, cells, False)

    # A chart on a copy that plotted its source sheet plots the copy.
    for name, out in outputs.items():
        charts = sheet_charts(out)
        for copy_name, source_name in pairs[name]:
            if source_name in charts.get(source_name, set()) and charts.get(copy_name) != (
                    charts[source_name] - {source_name}) | {copy_name}:
                problems.append(f"{name}: the charts on {copy_name} plot {charts.get(copy_name)}")

    for p in problems[:60]:
        print("FAIL", p)
    print(f"xlsx corpus: {len(files)} workbooks, {len(problems)} problems")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
