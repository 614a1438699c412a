#!/usr/bin/python3
"""The office's template as other programs save it, through the whole workbook generation.

    template_writers.py XLS_TOOL TOLVAR_PO WORK_DIR TEMPLATE

The project's template is saved again by gnumeric (also in its dual Excel 5 and 97 form),
LibreOffice, xlwt, Perl (ParseExcel and WriteExcel), Ruby (the spreadsheet gem), Apache POI (also
with 1 100 shapes drawn on the delivery form) and JExcelApi, and laid out in crafted variants that no writer would make
(tests/xls/writers/craft_variants.py). With each, tolvar-po makes the workbooks of
POs of 1, 21 and 45 lines from a fixed demo database, and --check-template must call it usable.
Then five judges read every output cell by cell, against the workbook made from the project's own
template: a written cell must read as it reads there, every other cell as in the writer's template.
xlrd compares values, types and cell formats; gnumeric, LibreOffice and Apache POI compare the text
each shows for every cell of every sheet; xls_lint.py checks the structure.
"""
import csv
import glob
import json
import os
import re
import shutil
import struct
import subprocess
import sys

import olefile
import xlrd
import xlrd.compdoc

import biff

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
PY = "/usr/bin/python3"
POS = ["P26-0002", "P26-0005", "P26-0007"]  # 1, 21 and 45 lines in the demo data of 2026-01-15
LO_CSV = "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1"
POI_JARS = ["poi", "commons-collections4", "commons-math3", "commons-codec"]


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=600, **kw)


def judge_charts(work, templates, outputs):
    """For each template with charts: each output sheet's charts plot, range for range, what the
    template sheet it copies plots, on the sheets of its own page where the template's were on the
    template's forms."""
    problems = []
    with_charts = {}

    def charts_of(paths):
        r = run([PY, os.path.join(HERE, "charts_uno.py"), "read", os.path.join(work, "charts")] + paths)
        if r.returncode != 0:
            raise SystemExit(f"LibreOffice could not read the charts: {r.stderr.strip()[-300:]}")
        return json.loads(r.stdout)
    # The templates first; the outputs of those that have charts then.
    read = charts_of([templates[name] for name in outputs])
    read.update(charts_of([p for name, files in outputs.items() if any(read[templates[name]]) for p in files.values()]))
    for name, files in outputs.items():
        if not any(read[templates[name]]):
            continue
        with_charts[name] = files
        for po, path in files.items():
            forms = Book(templates[name]).names()
            sheets = Book(path).names()
            for i, charts in enumerate(read[path]):
                page = sheets[i - i % 2:i - i % 2 + 2]
                want = [[page[forms.index(rg.split("!")[0])] + "!" + rg.split("!")[1] for rg in chart]
                        for chart in read[templates[name]][origin(i)]]
                if charts != want:
                    problems.append(f"{name} {po}: sheet {sheets[i]} plots {charts}, meant {want}")
    if "libreoffice-charts" not in with_charts:
        problems.append("the template with charts has none as LibreOffice reads it")
    return problems


MACRO_NOTE = "note: the template's macros are left out of the workbooks made"


def macro_traces(path, code_names=True):
    """What in a workbook belongs to a VBA project: the project's storage, found by olefile, and
    the records that refer to it. Code names also stand in workbooks that never had a project: with
    code_names False they are not counted."""
    ole = olefile.OleFileIO(path)
    found = [f"holds {'/'.join(e)}" for e in ole.listdir(streams=True, storages=True)
             if any(part.upper() in ("_VBA_PROJECT_CUR", "_VBA_PROJECT", "VBA") for part in e)]
    for t, data in biff.records(ole.openstream("Workbook").read()):
        if t in (0x00D3, 0x01BD) or (t == 0x01BA and code_names):
            found.append(f"record {t:#06x} of a VBA project")
        elif t == 0x0018 and struct.unpack_from("<H", data)[0] & 0x0004:
            found.append(f"the name of a VBA macro: {data.hex()}")
    ole.close()
    return found


# ---- the templates -------------------------------------------------------------------------

def writers(template, work):
    """Each writer's copy of the template, by the writer's name."""
    out = {}
    lo = os.path.join(work, "lo")
    os.makedirs(lo, exist_ok=True)
    steps = {
        "gnumeric": lambda dst: run(["ssconvert", template, dst]),
        # Saved for Excel 5 and Excel 97 at once: an older "Book" stream beside "Workbook".
        "gnumeric-dual-stream": lambda dst: run(["ssconvert", "-T", "Gnumeric_Excel:excel_dsf", template, dst]),
        "libreoffice": lambda dst: run(["soffice", f"-env:UserInstallation=file://{work}/lo-profile-writer", "--headless",
                                        "--convert-to", "xls:MS Excel 97", "--outdir", lo, template]),
        "xlwt": lambda dst: run([PY, os.path.join(HERE, "writers", "xlwt_copy.py"), template, dst]),
        "perl": lambda dst: run(["perl", os.path.join(HERE, "writers", "perl_copy.pl"), template, dst]),
        "ruby": lambda dst: run(["ruby", os.path.join(HERE, "writers", "ruby_copy.rb"), template, dst]),
        "poi": lambda dst: run(["java", "-cp", ":".join(f"/usr/share/java/{j}.jar" for j in POI_JARS),
                                os.path.join(HERE, "writers", "PoiCopy.java"), template, dst]),
        "jxl": lambda dst: run(["java", "-cp", "/usr/share/java/jxl.jar",
                                os.path.join(HERE, "writers", "JxlCopy.java"), template, dst]),
        # 1 100 shapes on the delivery form: one drawing over two clusters of shape ids.
        "poi-1100-shapes": lambda dst: run(["java", "-cp", ":".join(f"/usr/share/java/{j}.jar" for j in POI_JARS),
                                            os.path.join(HERE, "writers", "PoiManyShapes.java"), template, dst, "1100"]),
    }
    # Three charts drawn by LibreOffice on the two forms, plotting cells of their own form and of
    # the other (tests/xls/charts_uno.py).
    steps["libreoffice-charts"] = lambda dst: run([PY, os.path.join(HERE, "charts_uno.py"), "make", template, dst])
    for name, step in steps.items():
        dst = os.path.join(work, "templates", f"{name}.xls")
        r = step(dst)
        if name == "libreoffice" and r.returncode == 0:
            shutil.move(os.path.join(lo, os.path.basename(template)), dst)
        if r.returncode != 0 or not os.path.exists(dst):
            sys.exit(f"{name} could not save the template (the test command installs it): {r.stderr.strip()[-300:]}")
        out[name] = dst
    return out


def crafted(tool, template, work):
    d = os.path.join(work, "templates")
    r = run([PY, os.path.join(HERE, "writers", "craft_variants.py"), tool, template, d], check=True)
    return {n: os.path.join(d, n + ".xls") for n in r.stdout.split()}


# ---- what the readers see ------------------------------------------------------------------

def origin(position):
    """The template sheet a workbook sheet copies: the delivery form for odd positions."""
    return 0 if position % 2 == 0 else 1


class Book:
    def __init__(self, path):
        self.book = xlrd.open_workbook(path, formatting_info=True)

    def names(self):
        return self.book.sheet_names()

    def cells(self, i):
        s = self.book.sheet_by_index(i)
        out = {}
        for r in range(s.nrows):
            for c in range(s.ncols):
                cell = s.cell(r, c)
                if cell.ctype != xlrd.XL_CELL_EMPTY:
                    value = "" if cell.ctype == xlrd.XL_CELL_BLANK else cell.value
                    kind = xlrd.XL_CELL_EMPTY if cell.ctype == xlrd.XL_CELL_BLANK else cell.ctype
                    out[(r, c)] = (kind, value, cell.xf_index)
        return out


def written(ref_out, ref_template, i):
    """The addresses the generation wrote on sheet i: where its output reads unlike its template."""
    made, tmpl = ref_out.cells(i), ref_template.cells(origin(i))
    return {a for a in set(made) | set(tmpl) if made.get(a, (0, ""))[:2] != tmpl.get(a, (0, ""))[:2]}


def judge_xlrd(name, out, template, ref_out, ref_template):
    problems = []
    if out.names() != ref_out.names():
        return [f"{name}: sheets {out.names()}, meant {ref_out.names()}"]
    for i, sheet in enumerate(out.names()):
        got, tmpl, ref = out.cells(i), template.cells(origin(i)), ref_out.cells(i)
        w = written(ref_out, ref_template, i)
        for a in set(got) | set(tmpl) | w:
            meant = ref.get(a) if a in w else tmpl.get(a)
            have = got.get(a)
            if (have or (0, ""))[:2] != (meant or (0, ""))[:2]:
                problems.append(f"{name} {sheet}!{xlrd.cellname(*a)}: reads {have}, meant {meant}")
            elif a in tmpl and have and have[2] != tmpl[a][2]:
                problems.append(f"{name} {sheet}!{xlrd.cellname(*a)}: XF {have[2]}, the template's is {tmpl[a][2]}")
    return problems


def read_csv(path):
    if not os.path.exists(path):
        return None
    with open(path, encoding="utf-8", newline="") as f:
        return list(csv.reader(f))


def cell_text(grid, r, c):
    return grid[r][c] if grid and r < len(grid) and c < len(grid[r]) else ""


def judge_text(reader, name, sheets, out_csv, tmpl_csv, ref_csv, w_of):
    """Every cell's shown text: the reference output's where written, the template's elsewhere."""
    problems = []
    for i, sheet in enumerate(sheets):
        got, tmpl, ref = out_csv(sheet), tmpl_csv(origin(i)), ref_csv(sheet)
        if got is None or tmpl is None or ref is None:
            problems.append(f"{name}: {reader} wrote no text for sheet {sheet}")
            continue
        w = w_of(i)
        rows = max(len(got), len(tmpl), len(ref))
        cols = max([len(x) for grid in (got, tmpl, ref) for x in grid] + [0])
        for r in range(rows):
            for c in range(cols):
                meant = cell_text(ref, r, c) if (r, c) in w else cell_text(tmpl, r, c)
                if cell_text(got, r, c) != meant:
                    problems.append(f"{name}: {reader} shows {sheet}!{xlrd.cellname(r, c)} as "
                                    f"{cell_text(got, r, c)!r}, meant {meant!r}")
    return problems


def gnumeric_csv(path, stem):
    """gnumeric's text of every sheet, and its warnings (the font-width guess aside)."""
    r = run(["ssconvert", "-S", path, stem + ".%s.csv"])
    warnings = {re.sub(r"\d\d:\d\d:\d\d\.\d+|\(ssconvert:\d+\)|0x[0-9a-f]+", "", l) for l in r.stderr.splitlines()
                if ("WARNING" in l or "CRITICAL" in l) and "width" not in l and "font" not in l.lower()}
    return r.returncode, warnings


def main():
    tool, tolvar_po, work, template = sys.argv[1:5]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "templates"))
    for needed in (tool, tolvar_po, template):
        if not os.path.isfile(needed):
            sys.exit(f"template_writers.py: no such file: {needed}")
    db = os.path.join(work, "po.db")
    run([PY, os.path.join(TOP, "assets", "demo", "make_demo_db.py"), db, "--today", "2026-01-15"], check=True)
    ini = os.path.join(work, "tolvar.ini")
    with open(ini, "w", encoding="utf-8") as f:
        f.write(f"\ufeff[PO_DB]\r\nPROVIDER=SQLite\r\nSERVER_NM={db}\r\n[全般]\r\nPO_SAVE_FOLDER={work}/\r\n")

    templates = {"reference": template, **writers(template, work), **crafted(tool, template, work)}
    # Templates the check turns down: the engine refuses the first, the second makes a workbook in
    # which a form value does not show.
    refused = {"duplicate-addresses"}
    unusable = refused | {"form-cell-inside-merge"}
    problems = []
    outputs = {}
    for name, path in templates.items():
        r = run([tolvar_po, "--check-template", path])
        want = 1 if name in unusable else 0
        if r.returncode != want or r.stdout.splitlines()[-1:] != (["1 problem"] if want else ["OK"]):
            problems.append(f"{name}: --check-template exit {r.returncode}, meant {want}: {r.stdout.strip()[-400:]}")
        if name == "duplicate-addresses" and "open the template in a spreadsheet program and save it again" not in r.stdout:
            problems.append(f"{name}: --check-template does not say what to do: {r.stdout.strip()}")
        if name.startswith("vba-") and MACRO_NOTE not in r.stdout.splitlines():
            problems.append(f"{name}: --check-template does not say the macros are left out: {r.stdout.strip()}")
        out = os.path.join(work, "out", name)
        os.makedirs(out)
        r = run([tolvar_po, "--settings", ini, "--template", path, "--out", out] + POS)
        if name in refused:
            if r.returncode != 1 or os.listdir(out):
                problems.append(f"{name}: tolvar-po exit {r.returncode} and wrote {os.listdir(out)}, meant a refusal")
            continue
        if name in unusable:
            continue
        if r.returncode != 0:
            problems.append(f"{name}: tolvar-po exit {r.returncode}: {r.stderr.strip()[-400:]}")
            continue
        outputs[name] = {po: os.path.join(out, po + ".xls") for po in POS}

    # The structure: what xls_lint.py finds in an output and not in the template it came from. A
    # writer's own slips (JExcelApi writes each print area twice) are the template's, kept as they are.
    # A slip on a form sheet comes with each copy of it: findings compare without the sheet's number.
    def lint(paths):
        r = run([PY, os.path.join(HERE, "xls_lint.py")] + paths)
        return [(l.split(": ", 1) + [""])[:2] for l in r.stdout.splitlines() if l]

    def kind(finding):
        return re.sub(r"^sheet \d+: ", "sheet N: ", finding)
    own = {}
    for path, finding in lint([templates[n] for n in outputs]):
        own.setdefault(path, set()).add(kind(finding))
    for name, files in outputs.items():
        for path, finding in lint(list(files.values())):
            if kind(finding) not in own.get(templates[name], set()):
                problems.append(f"{path}: {finding}")

    # The older format's copy of a dual-stream template would still show the blank form.
    for name, files in outputs.items():
        for path in files.values():
            with open(path, "rb") as f:
                entries = [e.name for e in xlrd.compdoc.CompDoc(f.read()).dirlist]
            if "Book" in entries:
                problems.append(f"{path}: still holds the template's older \"Book\" stream")

    # No output of a template with macros holds them or anything that points at them.
    for name, files in outputs.items():
        for path in files.values():
            problems += [f"{path}: {p}" for p in macro_traces(path)]

    # The charts, as LibreOffice reads them: every page's forms have the template's charts, each
    # plotting the same cells of that page's forms.
    problems += judge_charts(work, templates, outputs)

    # xlrd, cell by cell.
    ref_template = Book(template)
    for name, files in outputs.items():
        tmpl = Book(templates[name])
        for po, path in files.items():
            problems += judge_xlrd(f"{name} {po}", Book(path), tmpl, Book(outputs["reference"][po]), ref_template)

    # gnumeric and LibreOffice: the text of every cell of every sheet.
    text = os.path.join(work, "text")
    os.makedirs(text)
    sources = {f"t-{n}": templates[n] for n in outputs}
    sources.update({f"o-{n}-{po}": p for n, files in outputs.items() for po, p in files.items()})
    gnumeric_warnings = {}
    for key, path in sources.items():
        copy = os.path.join(text, key + ".xls")
        shutil.copy(path, copy)
        code, warnings = gnumeric_csv(copy, os.path.join(text, "g-" + key))
        if code != 0:
            problems.append(f"{key}: gnumeric exit {code}")
        gnumeric_warnings[key] = warnings
    for name, files in outputs.items():
        for po in files:
            new = gnumeric_warnings[f"o-{name}-{po}"] - gnumeric_warnings[f"t-{name}"]
            if new:
                problems.append(f"{name} {po}: gnumeric warns {sorted(new)[:2]}")
    r = run(["soffice", f"-env:UserInstallation=file://{work}/lo-profile", "--headless", "--convert-to", LO_CSV,
             "--outdir", os.path.join(text, "lo")] + [os.path.join(text, k + ".xls") for k in sources])
    if r.returncode != 0:
        problems.append(f"LibreOffice exit {r.returncode}: {r.stderr.strip()[-300:]}")

    # Apache POI, the strictest: it refuses a worksheet whose records stray from their grammar.
    r = run(["java", "-cp", ":".join(f"/usr/share/java/{j}.jar" for j in POI_JARS), os.path.join(HERE, "PoiRead.java"),
             os.path.join(text, "poi")] + [f"{k}={os.path.join(text, k + '.xls')}" for k in sources])
    # A writer's template POI refuses already (the Ruby gem writes the page setup twice) is that
    # writer's; an output POI refuses where it reads the template is ours.
    poi_refused = {line.split(": ", 1)[0]: line for line in r.stderr.splitlines() if ": " in line}
    for name, files in outputs.items():
        template_refused = os.path.join(text, f"t-{name}.xls") in poi_refused
        for po in files:
            refusal = poi_refused.get(os.path.join(text, f"o-{name}-{po}.xls"))
            if refusal and not template_refused:
                problems.append(f"{name} {po}: Apache POI refuses the output: {refusal[-300:]}")

    ref_books = {po: Book(outputs["reference"][po]) for po in POS}
    for name, files in outputs.items():
        tmpl_names = Book(templates[name]).names()
        for po in files:
            sheets = ref_books[po].names()
            w_of = lambda i, po=po: written(ref_books[po], ref_template, i)
            g = lambda key: lambda sheet: read_csv(os.path.join(text, f"g-{key}.{sheet}.csv"))
            problems += judge_text("gnumeric", f"{name} {po}", sheets, g(f"o-{name}-{po}"),
                                   lambda i, key=f"t-{name}": read_csv(os.path.join(text, f"g-{key}.{tmpl_names[i]}.csv")),
                                   g(f"o-reference-{po}"), w_of)
            lo = lambda key: lambda sheet: read_csv(os.path.join(text, "lo", f"{key}-{sheet}.csv"))
            problems += judge_text("LibreOffice", f"{name} {po}", sheets, lo(f"o-{name}-{po}"),
                                   lambda i, key=f"t-{name}": read_csv(os.path.join(text, "lo", f"{key}-{tmpl_names[i]}.csv")),
                                   lo(f"o-reference-{po}"), w_of)
            if os.path.join(text, f"t-{name}.xls") in poi_refused:
                continue
            poi = lambda key: lambda sheet: read_csv(os.path.join(text, "poi", f"{key}.{sheet}.csv"))
            problems += judge_text("POI", f"{name} {po}", sheets, poi(f"o-{name}-{po}"),
                                   lambda i, key=f"t-{name}": read_csv(os.path.join(text, "poi", f"{key}.{tmpl_names[i]}.csv")),
                                   poi(f"o-reference-{po}"), w_of)

    for p in problems[:60]:
        print("FAIL", p)
    if len(problems) > 60:
        print(f"... {len(problems)} failures in all")
    print(f"{len(outputs)} templates through the generation, {len(problems)} failures")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
