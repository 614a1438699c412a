#!/usr/bin/python3
"""The office's template as an .xlsx or .xlsm, from other programs, through the whole generation.

    xlsx_templates.py XLSX_TOOL TOLVAR_PO WORK_DIR TEMPLATE

The project's template is saved as Office Open XML by LibreOffice (also with three charts on the
forms, through its own API), gnumeric, and openpyxl and ExcelJS (from the npm registry, both
reading LibreOffice's), and laid out anew by
XlsxWriter from the cells, formats, merges and widths xlrd reads in it; a copy of LibreOffice's is
turned into an .xlsm holding a VBA project. With each, --check-template must call it usable and
tolvar-po makes the workbooks of POs of 1, 21 and 45 lines from a fixed demo database as .xlsx.
Judged: the package checker; openpyxl and ExcelJS read every cell of every page as xlrd reads it in
the .xls workbook made from the project's own template (text as text, numbers as numbers, dates as
dates);
LibreOffice and gnumeric show every cell of every page as in that workbook; the charts of each
page plot that page's sheets; a workbook from an .xlsm holds no VBA project. Then the templates it
must refuse, each with a sentence on what to do: encrypted, Strict Open XML, a pivot table, a chart
sheet or a dialog sheet as a form, a form cell that starts a shared formula. Last, the default
template: with no MST_PO.xls beside the program, its MST_PO.xlsx.
"""
import csv
import datetime
import glob
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import warnings
import zipfile

import openpyxl
import xlrd
import xlsxwriter

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
PY = "/usr/bin/python3"
POS = ["P26-0002", "P26-0005", "P26-0007"]  # 1, 21 and 45 lines in the demo data of 2026-01-15
LO_CSV = "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1"
CHARTS_UNO = os.path.join(TOP, "tests", "xls", "charts_uno.py")
EXCELJS_JUDGE = os.path.join(HERE, "exceljs_judge.js")
EXCELJS = "exceljs@4.4.0"

# openpyxl warns of what it makes up for in files other programs wrote; the judges say what matters.
warnings.filterwarnings("ignore", module="openpyxl")


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=600, **kw)


def exceljs_modules():
    """ExcelJS from the npm registry, installed once into the cache beside the project's other builds."""
    cache = os.environ.get("TOLVAR_CACHE_DIR") or os.path.join(
        os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "tolvar")
    prefix = os.path.join(cache, "npm-" + EXCELJS.replace("@", "-"))
    modules = os.path.join(prefix, "node_modules")
    if not os.path.isfile(os.path.join(modules, "exceljs", "package.json")):
        r = run(["npm", "install", "--prefix", prefix, "--no-audit", "--no-fund", EXCELJS])
        if r.returncode != 0:
            raise SystemExit(f"npm could not install {EXCELJS}: {r.stderr.strip()[-400:]}")
    return modules


def exceljs(*args):
    return run(["node", EXCELJS_JUDGE, *args], env=dict(os.environ, NODE_PATH=exceljs_modules()))


def office_env(work):
    return dict(os.environ, HOME=os.path.join(work, "office-home"))


# -- the templates ---------------------------------------------------------------------------

def writers(template, work):
    folder = os.path.join(work, "templates")
    made = {}
    r = run(["soffice", "--headless", "--convert-to", "xlsx", "--outdir", folder, template], env=office_env(work))
    made["libreoffice"] = os.path.join(folder, "MST_PO.xlsx")
    gnumeric = os.path.join(folder, "gnumeric.xlsx")
    run(["ssconvert", "--export-type=Gnumeric_Excel:xlsx2", template, gnumeric])
    made["gnumeric"] = gnumeric
    book = openpyxl.load_workbook(made["libreoffice"])
    made["openpyxl"] = os.path.join(folder, "openpyxl.xlsx")
    book.save(made["openpyxl"])
    made["xlsxwriter"] = xlsxwriter_anew(template, os.path.join(folder, "xlsxwriter.xlsx"))
    charts = os.path.join(folder, "charts.xlsx")
    r = run([PY, CHARTS_UNO, "make", template, charts])
    if r.returncode != 0:
        raise SystemExit(f"LibreOffice could not add the charts: {r.stderr.strip()[-300:]}")
    made["libreoffice-charts"] = charts
    made["xlsm-with-vba"] = with_vba(made["libreoffice"], os.path.join(folder, "vba.xlsm"))
    made["exceljs"] = os.path.join(folder, "exceljs.xlsx")
    r = exceljs("write", made["libreoffice"], made["exceljs"])
    missing = [name for name, path in made.items() if not os.path.isfile(path)]
    if missing:
        raise SystemExit(f"these writers made no template: {missing} {r.stderr[-300:]}")
    return made


def xlsxwriter_anew(template, out):
    """The form laid out anew: every cell's value and number format, merges, widths and heights."""
    book = xlrd.open_workbook(template, formatting_info=True)
    wb = xlsxwriter.Workbook(out)
    formats = {}

    def fmt(xf_index):
        code = book.format_map[book.xf_list[xf_index].format_key].format_str
        if code not in formats:
            formats[code] = wb.add_format({"num_format": code})
        return formats[code]

    for sheet in book.sheets():
        ws = wb.add_worksheet(sheet.name)
        for c, info in sheet.colinfo_map.items():
            ws.set_column(c, c, info.width / 256)
        for r, info in sheet.rowinfo_map.items():
            ws.set_row(r, info.height / 20)
        merged = {(r1, c1): (r2 - 1, c2 - 1) for r1, r2, c1, c2 in sheet.merged_cells}
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                value = "" if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK) else cell.value
                if (r, c) in merged:
                    ws.merge_range(r, c, *merged[(r, c)], value, fmt(cell.xf_index))
                elif any(r1 <= r <= r2 and c1 <= c <= c2 for (r1, c1), (r2, c2) in merged.items()):
                    continue
                elif cell.ctype == xlrd.XL_CELL_TEXT:
                    ws.write_string(r, c, value, fmt(cell.xf_index))
                elif cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
                    ws.write_number(r, c, value, fmt(cell.xf_index))
                elif cell.xf_index:
                    ws.write_blank(r, c, None, fmt(cell.xf_index))
    wb.close()
    return out


def with_vba(xlsx, out):
    """LibreOffice's template turned into an .xlsm holding the VBA project of a workbook Excel saved."""
    vba = zipfile.ZipFile(os.path.join(TOP, "tests", "data", "xlsx", "macro01.xlsm")).read("xl/vbaProject.bin")
    with zipfile.ZipFile(xlsx) as src, zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as dst:
        for item in src.infolist():
            data = src.read(item.filename)
            if item.filename == "[Content_Types].xml":
                data = data.replace(b"spreadsheetml.sheet.main+xml", b"sheet.macroEnabled.main+xml").replace(
                    b"</Types>", b'<Default Extension="bin" ContentType="application/vnd.ms-office.vbaProject"/>'
                                 b"</Types>")
            elif item.filename == "xl/_rels/workbook.xml.rels":
                data = data.replace(b"</Relationships>",
                                    b'<Relationship Id="rIdVba" Type="http://schemas.microsoft.com/office/2006/'
                                    b'relationships/vbaProject" Target="vbaProject.bin"/></Relationships>')
            dst.writestr(item, data)
        dst.writestr("xl/vbaProject.bin", vba)
    return out


def refused_templates(libreoffice, work):
    """Templates the engine must refuse, each with the words its refusal must hold."""
    folder = os.path.join(work, "refused")
    os.makedirs(folder)
    made = {}

    def edited(name, edit, extra=None):
        out = os.path.join(folder, name + ".xlsx")
        with zipfile.ZipFile(libreoffice) as src, zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as dst:
            for item in src.infolist():
                dst.writestr(item, edit(item.filename, src.read(item.filename)))
            for part, data in (extra or {}).items():
                dst.writestr(part, data)
        return out

    strict = edited("strict", lambda n, d: d.replace(
        b"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument",
        b"http://purl.oclc.org/ooxml/officeDocument/relationships/officeDocument") if n == "_rels/.rels" else d)
    made["strict"] = (strict, "Strict")

    def pivot(n, d):
        if n == "[Content_Types].xml":
            return d.replace(b"</Types>", b'<Override PartName="/xl/pivotTables/pivotTable1.xml" ContentType="'
                                          b'application/vnd.openxmlformats-officedocument.spreadsheetml.'
                                          b'pivotTable+xml"/></Types>')
        return d
    pivot_rels = (b'<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/'
                  b'package/2006/relationships"><Relationship Id="rIdPivot" Type="http://schemas.openxmlformats.org/'
                  b'officeDocument/2006/relationships/pivotTable" Target="../pivotTables/pivotTable1.xml"/>'
                  b'</Relationships>')
    made["pivot-table"] = (edited("pivot", pivot, {"xl/pivotTables/pivotTable1.xml": b"<pivotTableDefinition/>",
                                                   "xl/worksheets/_rels/sheet1.xml.rels": pivot_rels}),
                           "pivot table")

    def shared_formula(n, d):
        if n != "xl/worksheets/sheet2.xml":
            return d
        text = d.decode("utf-8")
        cell = re.search(r'<c r="AK57"([^>]*?)(/>|>.*?</c>)', text)
        style = re.search(r's="\d+"', cell.group(1)) if cell else None
        made_cell = f'<c r="AK57" {style.group(0) if style else ""}><f t="shared" ref="AK57:AL57" si="9">1+1</f></c>'
        return text.replace(cell.group(0), made_cell).encode("utf-8") if cell else d
    made["shared-formula"] = (edited("shared", shared_formula), "shared formula")

    sheets = openpyxl.Workbook()
    sheets.active.title = "Purchase Order"
    chartsheet = sheets.create_chartsheet("海外納品情報", 0)
    chartsheet.add_chart(openpyxl.chart.BarChart())
    made["chart-sheet-form"] = (os.path.join(folder, "chartsheet.xlsx"), "chartsheet")
    sheets.save(made["chart-sheet-form"][0])

    def dialog_sheet(n, d):
        # The delivery form made a dialog sheet: its relationship, its content type and its root.
        if n == "xl/_rels/workbook.xml.rels":
            return re.sub(rb'relationships/worksheet"( Target="worksheets/sheet1.xml")', rb'relationships/dialogsheet"\1', d)
        if n == "[Content_Types].xml":
            return re.sub(rb'(PartName="/xl/worksheets/sheet1.xml" ContentType="[^"]*)worksheet\+xml', rb'\1dialogsheet+xml', d)
        if n == "xl/worksheets/sheet1.xml":
            return d.replace(b"<worksheet", b"<dialogsheet").replace(b"</worksheet>", b"</dialogsheet>")
        return d
    made["dialog-sheet-form"] = (edited("dialogsheet", dialog_sheet), "dialogsheet")

    made["encrypted"] = (encrypted_package(os.path.join(folder, "encrypted.xlsx")), "password")
    return made


def encrypted_package(out):
    """A compound file holding EncryptionInfo and EncryptedPackage streams, as a workbook saved under a
    password is stored (the contents are not a real encryption: the engine refuses on the streams)."""
    free, end, fat_sector = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD
    package, info = b"\x00" * 8192, b"\x00" * 4096
    first_package, first_info = 2, 2 + len(package) // 512
    sectors = first_info + len(info) // 512
    fat = [fat_sector, end]
    for first, n in ((first_package, len(package) // 512), (first_info, len(info) // 512)):
        fat += [first + k + 1 for k in range(n - 1)] + [end]
    fat += [free] * (128 - len(fat))

    def entry(name, kind, left, right, child, start, size):
        encoded = (name + "\0").encode("utf-16-le") if name else b""
        return (encoded.ljust(64, b"\0") + struct.pack("<HBBIII", len(encoded), kind, 1, left, right, child) +
                b"\0" * 36 + struct.pack("<IQ", start, size))

    directory = (entry("Root Entry", 5, free, free, 1, end, 0) +
                 entry("EncryptedPackage", 2, 2, free, free, first_package, len(package)) +
                 entry("EncryptionInfo", 2, free, free, free, first_info, len(info)) +
                 entry("", 0, free, free, free, 0, 0))
    header = (bytes.fromhex("D0CF11E0A1B11AE1") + b"\0" * 16 +
              struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) + b"\0" * 6 +
              struct.pack("<IIIIIIIII", 0, 1, 1, 0, 4096, end, 0, end, 0) +
              struct.pack("<I", 0) + struct.pack("<I", free) * 108)
    with open(out, "wb") as f:
        f.write(header + struct.pack("<128I", *fat) + directory + package + info)
    assert os.path.getsize(out) == 512 * (sectors + 1)
    return out


# -- the judges ------------------------------------------------------------------------------

def xlrd_cells(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    cells = {}
    for sheet in book.sheets():
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                value = cell.value
                if cell.ctype == xlrd.XL_CELL_DATE:
                    value = xlrd.xldate.xldate_as_datetime(value, book.datemode)
                cells[(sheet.name, r, c)] = value
    return cells


def openpyxl_cells(path):
    book = openpyxl.load_workbook(path)
    cells = {}
    for ws in book.worksheets:
        for (r, c), cell in ws._cells.items():
            if cell.value is None or cell.value == "":
                continue
            cells[(ws.title, r - 1, c - 1)] = "=formula" if cell.data_type == "f" else cell.value
    return book.sheetnames, cells


def same_value(a, b):
    if isinstance(a, float) and isinstance(b, (int, float)):
        return abs(a - b) <= 1e-9 * max(1, abs(a))
    return a == b


def trimmed(rows):
    """The rows without empty cells and rows at their ends: a reader's export may reach as far as a
    chart does. Numbers as gnumeric writes them vary in their last digits between formats: values."""
    rows = [[normal(x) for x in row] for row in rows]
    for row in rows:
        while row and row[-1] == "":
            row.pop()
    while rows and not rows[-1]:
        rows.pop()
    return rows


def text_sheets(folder):
    sheets = {}
    for path in glob.glob(os.path.join(folder, "*.csv")):
        with open(path, encoding="utf-8", newline="") as f:
            sheets[os.path.basename(path)[:-4].split("-")[-1]] = trimmed(list(csv.reader(f)))
    return sheets


def normal(text):
    try:
        return repr(float(text)) if re.fullmatch(r"-?\d+(\.\d+)?(E[-+]?\d+)?", text) else text
    except ValueError:
        return text


def gnumeric_shown(path, folder):
    os.makedirs(folder, exist_ok=True)
    run(["ssconvert", "-S", path, os.path.join(folder, "%s.csv")])
    return text_sheets(folder)


def libreoffice_shown(paths, folder, work):
    """Every workbook's sheets as LibreOffice shows them, by the workbook's stem: one LibreOffice for all."""
    os.makedirs(folder, exist_ok=True)
    run(["soffice", "--headless", "--convert-to", LO_CSV, "--outdir", folder, *paths], env=office_env(work))
    shown = {}
    for path in paths:
        stem = os.path.splitext(os.path.basename(path))[0]
        sheets = {}
        for csv_path in glob.glob(os.path.join(folder, stem + "-*.csv")):
            with open(csv_path, encoding="utf-8", newline="") as f:
                sheets[os.path.basename(csv_path)[len(stem) + 1:-4]] = trimmed(list(csv.reader(f)))
        shown[stem] = sheets
    return shown


def judge_values(name, out, reference, tool, problems):
    """The checker's findings, and every cell as openpyxl reads it against xlrd in the .xls workbook."""
    found = run([tool, "check", out]).stdout.splitlines()
    problems += [f"{name} {os.path.basename(out)}: the checker finds {p}" for p in found]
    names, cells = openpyxl_cells(out)
    expected = xlrd_cells(reference)
    ref_names = xlrd.open_workbook(reference, on_demand=True).sheet_names()
    if names != ref_names:
        problems.append(f"{name} {os.path.basename(out)}: sheets {names}, not {ref_names}")
        return
    layout_only = name == "xlsxwriter"  # laid out anew: formulas were not carried over
    for key in sorted(set(cells) | set(expected)):
        a, b = expected.get(key), cells.get(key)
        if b == "=formula" or (layout_only and b is None):
            continue
        if not same_value(a, b) or type(a) is str and type(b) is not str:
            problems.append(f"{name} {os.path.basename(out)} {key[0]} row {key[1] + 1} column {key[2] + 1}: "
                            f"openpyxl reads {b!r}, the .xls holds {a!r}")
            break


def judge_exceljs(path, sheets, expected, problems):
    got = {}
    for sheet in sheets:
        for ref, cell in sheet["cells"].items():
            col = 0
            letters = re.match(r"[A-Z]+", ref).group(0)
            for ch in letters:
                col = col * 26 + ord(ch) - 64
            got[(sheet["name"], int(ref[len(letters):]) - 1, col - 1)] = cell
    for key in sorted(set(got) | set(expected)):
        cell, want = got.get(key), expected.get(key)
        if cell and cell["t"] == "f":
            continue
        value = None if cell is None else datetime.datetime.fromisoformat(cell["v"]) if cell["t"] == "d" else cell["v"]
        if not same_value(want, value) or (isinstance(want, str) != (cell is not None and cell["t"] == "s")):
            problems.append(f"ExcelJS {path} {key[0]} row {key[1] + 1} column {key[2] + 1}: {cell}, the .xls holds "
                            f"{want!r}")
            return


def judge_shown(reader, name, stem, got, want, problems):
    if sorted(got) != sorted(want):
        problems.append(f"{name} {stem}: {reader} shows the sheets {sorted(got)}, not {sorted(want)}")
    for sheet in want:
        if got.get(sheet) != want[sheet]:
            problems.append(f"{name} {stem}: {reader} shows sheet {sheet} otherwise than the .xls workbook")


def main():
    tool, tolvar_po, work, template = sys.argv[1:5]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "templates"))
    db = os.path.join(work, "po.db")
    run([PY, os.path.join(TOP, "assets", "demo", "make_demo_db.py"), db, "--today", "2026-01-15"], check=True)
    ini = os.path.join(work, "tolvar.ini")
    with open(ini, "w", encoding="utf-8") as f:
        f.write(f"\ufeff[PO_DB]\r\nPROVIDER=SQLite\r\nSERVER_NM={db}\r\n[全般]\r\nPO_SAVE_FOLDER={work}/\r\n")
    problems = []

    reference = os.path.join(work, "out", "reference")
    os.makedirs(reference)
    r = run([tolvar_po, "--settings", ini, "--template", template, "--out", reference + "/"] + POS)
    if r.returncode != 0:
        raise SystemExit(f"the .xls workbooks: tolvar-po ended with {r.returncode}: {r.stderr}")

    templates = writers(template, work)
    outputs = {}
    for name, path in templates.items():
        r = run([tolvar_po, "--check-template", path])
        if r.returncode != 0 or r.stdout.splitlines()[-1:] != ["OK"]:
            problems.append(f"{name}: --check-template ended with {r.returncode}: {r.stdout.strip()[-400:]}")
        if name == "xlsm-with-vba" and "macros are left out" not in r.stdout:
            problems.append(f"{name}: --check-template does not say the macros are left out: {r.stdout.strip()}")
        out = os.path.join(work, "out", name)
        os.makedirs(out)
        r = run([tolvar_po, "--settings", ini, "--template", path, "--out", out + "/"] + POS)
        made = [os.path.join(out, po + ".xlsx") for po in POS]
        if r.returncode != 0 or r.stdout.split() != made:
            problems.append(f"{name}: tolvar-po ended with {r.returncode}, printed {r.stdout.split()}: "
                            f"{r.stderr.strip()[-400:]}")
            continue
        outputs[name] = made
        for po, path_out in zip(POS, made):
            judge_values(name, path_out, os.path.join(reference, po + ".xls"), tool, problems)
            with zipfile.ZipFile(path_out) as z:
                if any("vbaproject" in n.lower() for n in z.namelist()):
                    problems.append(f"{name} {po}: the workbook holds a VBA project")

    # What LibreOffice and gnumeric show, against the .xls workbooks (the form laid out anew by
    # XlsxWriter has its own formats and no formulas: its values are openpyxl's to judge).
    shown = os.path.join(work, "shown")
    want_lo = libreoffice_shown([os.path.join(reference, po + ".xls") for po in POS], os.path.join(shown, "ref"),
                                work)
    want_gnumeric = {po: gnumeric_shown(os.path.join(reference, po + ".xls"),
                                        os.path.join(shown, "gnumeric", "ref", po)) for po in POS}
    for name, made in outputs.items():
        if name == "xlsxwriter":
            continue
        got_lo = libreoffice_shown(made, os.path.join(shown, name), work)
        for po, path_out in zip(POS, made):
            judge_shown("LibreOffice", name, po, got_lo.get(po, {}), want_lo.get(po, {}), problems)
            judge_shown("gnumeric", name, po, gnumeric_shown(path_out, os.path.join(shown, "gnumeric", name, po)),
                        want_gnumeric[po], problems)

    # ExcelJS reads every workbook: each cell as xlrd reads the .xls workbook's.
    r = exceljs("read", *[p for name, made in outputs.items() if name != "xlsxwriter" for p in made])
    if r.returncode != 0:
        problems.append(f"ExcelJS cannot read the workbooks: {r.stderr.strip()[-400:]}")
    for path, sheets in (json.loads(r.stdout) if r.returncode == 0 else {}).items():
        po = os.path.splitext(os.path.basename(path))[0]
        judge_exceljs(path, sheets, xlrd_cells(os.path.join(reference, po + ".xls")), problems)

    # Each page's charts plot that page's sheets, as the template's plot its forms.
    r = run([PY, CHARTS_UNO, "read", os.path.join(work, "charts")] + outputs.get("libreoffice-charts", []))
    read = json.loads(r.stdout) if r.returncode == 0 else {}
    for path, sheets in read.items():
        for k, charts in enumerate(sheets):
            page = k // 2 + 1
            plotted = {ref.split("!")[0] for chart in charts for ref in chart}
            if not charts or not plotted <= {f"納品情報{page}", f"PO{page}"}:
                problems.append(f"charts of {os.path.basename(path)} sheet {k + 1}: {charts}")
    if not read:
        problems.append(f"LibreOffice could not read the charts: {r.stderr.strip()[-300:]}")

    for name, (path, words) in refused_templates(templates["libreoffice"], work).items():
        r = run([tolvar_po, "--check-template", path])
        if r.returncode != 1 or words not in r.stdout:
            problems.append(f"{name}: --check-template ended with {r.returncode} without \"{words}\": {r.stdout}")
        out = os.path.join(work, "out", "refused-" + name)
        os.makedirs(out)
        r = run([tolvar_po, "--settings", ini, "--template", path, "--out", out + "/"] + POS[-1:])
        if r.returncode != 1 or os.listdir(out) or words not in r.stderr:
            problems.append(f"{name}: tolvar-po ended with {r.returncode}, wrote {os.listdir(out)}: {r.stderr}")

    # The default template: MST_PO.xlsx where there is no MST_PO.xls beside the program.
    program = os.path.join(work, "program")
    os.makedirs(program)
    shutil.copy(tolvar_po, program)
    shutil.copy(templates["libreoffice"], os.path.join(program, "MST_PO.xlsx"))
    out = os.path.join(work, "out", "default")
    os.makedirs(out)
    r = run([os.path.join(program, os.path.basename(tolvar_po)), "--settings", ini, "--out", out + "/", POS[0]])
    if r.returncode != 0 or os.listdir(out) != [POS[0] + ".xlsx"]:
        problems.append(f"the default .xlsx template: tolvar-po ended with {r.returncode}, wrote {os.listdir(out)}")

    for p in problems[:60]:
        print("FAIL", p)
    print(f"xlsx templates: {len(templates)} writers, {len(POS)} POs each, {len(problems)} problems")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
