#!/usr/bin/python3
"""The engine against workbooks made by other programs, judged by independent readers.

    corpus_check.py XLS_TOOL WORK_DIR FILE...

For each file: parse and save without edits gives back the Workbook stream record for record
(INDEX, DBCELL and EXTSST aside, which are recomputed); copying every worksheet to the end,
renaming the copies and writing cells gives a file that the structural checker, xlrd, gnumeric,
LibreOffice and Apache POI all accept, in which every cell not written reads as in the original sheet.
A workbook with a VBA project is copied without it: no project storage, none of the records that
refer to it (olefile and the records say so), and those records aside the round trip is exact.
"""
import csv
import re
import glob
import json
import os
import shutil
import subprocess
import sys

import biff
from template_writers import macro_traces

# Copies that read differently from their source for a reason of the workbook's own, each with it.
KNOWN = {("xlrd-namesdemo", "コピー3"): "A6 intersects a range of its own sheet with the global name Profit, "
                                       "which lies on Sheet3: on the copy the two ranges are on different sheets"}
HERE = os.path.dirname(os.path.abspath(__file__))
MACRO_RECORDS = {0x00D3, 0x01BD, 0x01BA}
PY = "/usr/bin/python3"
WRITTEN = {"A1": ("text", "書き込み"), "B2": None, "C3": ("text", "00123"), "D4": None, "E5": None, "F6": None}


def records(stream):
    """The records to compare: a BOUNDSHEET's stream offset is recomputed, so it is left out."""
    return [(t, b"\0\0\0\0" + data[4:] if t == 0x0085 else data) for t, data in biff.records(stream)]


def embedded_charts(path):
    """How many charts the workbook's worksheets hold (chart substreams nested in them)."""
    depth, count = 0, 0
    for t, d in biff.records(biff.workbook_stream(path)):
        if t == 0x0809:
            depth += 1
            count += depth == 2 and d[2:4] == b"\x20\x00"
        elif t == 0x000A:
            depth -= 1
    return count


def chart_sheets(path):
    """The chart sheets of a workbook (BOUNDSHEET type 2), which xlrd leaves out and gnumeric reads."""
    return sum(1 for t, d in biff.records(biff.workbook_stream(path)) if t == 0x0085 and d[5] == 2)


def gnumeric_warnings(path, pattern):
    r = subprocess.run(["ssconvert", "-S", path, pattern], capture_output=True, text=True, timeout=120)
    lines = set()
    for l in r.stderr.splitlines():
        if ("WARNING" in l or "CRITICAL" in l) and "width" not in l and "font" not in l.lower():
            lines.add(re.sub(r"0x[0-9a-f]+|\d\d:\d\d:\d\d\.\d+|\(ssconvert:\d+\)|\S+![A-Z]+\d+", "", l))
    return r.returncode, lines


def main():
    if len(sys.argv) < 3:
        sys.exit("usage: corpus_check.py XLS_TOOL WORK_DIR FILE...")
    tool, work, files = sys.argv[1], sys.argv[2], sys.argv[3:]
    if not files:
        sys.exit("corpus_check.py: no workbooks to check (the test data folder is empty or missing)")
    missing = [f for f in files if not os.path.isfile(f)]
    if missing:
        sys.exit(f"corpus_check.py: no such workbook: {missing[0]}")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    failures = []
    outputs = {}
    copies = {}
    for f in files:
        base = os.path.splitext(os.path.basename(f))[0]
        rt = os.path.join(work, base + "-roundtrip.xls")
        r = subprocess.run([tool, "roundtrip", f, rt], capture_output=True, text=True)
        if r.returncode != 0:
            failures.append(f"{base}: round trip failed: {r.stderr.strip()}")
            continue
        subprocess.run([tool, "stream", f, rt + ".a"], check=True)
        subprocess.run([tool, "stream", rt, rt + ".b"], check=True)
        # The records of a VBA project are left out with it.
        had_macros = bool(macro_traces(f, code_names=False))
        left_out = {0x020B, 0x00D7, 0x00FF} | (MACRO_RECORDS if had_macros else set())
        a = [x for x in records(open(rt + ".a", "rb").read()) if x[0] not in left_out]
        b = [x for x in records(open(rt + ".b", "rb").read()) if x[0] not in (0x020B, 0x00D7, 0x00FF)]
        if a != b:
            i = next(k for k in range(min(len(a), len(b))) if a[k] != b[k]) if len(a) == len(b) else min(len(a), len(b))
            failures.append(f"{base}: round trip changed record {i}")
        out = os.path.join(work, base + ".xls")
        r = subprocess.run([tool, "copyall", f, out], capture_output=True, text=True)
        if r.returncode != 0:
            failures.append(f"{base}: copy failed: {r.stderr.strip()}")
            continue
        only = os.path.join(work, base + "-copyonly.xls")
        subprocess.run([tool, "copyonly", f, only], check=True, capture_output=True)
        outputs[base] = (f, out)
        copies[base] = only
        failures += [f"{base}: {trace}" for trace in macro_traces(out, had_macros) + macro_traces(rt, had_macros)]

    lint = subprocess.run([PY, os.path.join(HERE, "xls_lint.py")] + [o for _, o in outputs.values()],
                          capture_output=True, text=True)
    failures += [line for line in lint.stdout.splitlines() if line]

    dump = json.loads(subprocess.check_output([PY, os.path.join(HERE, "xlrd_dump.py")] +
                                              [p for pair in outputs.values() for p in pair]))
    for base, (orig, out) in outputs.items():
        o, n = dump[orig], dump[out]
        if "error" in n:
            failures.append(f"{base}: xlrd: {n['error']}")
            continue
        k = len(o["sheets"])
        for i in range(k):
            if n["sheets"][i] != o["sheets"][i]:
                failures.append(f"{base}: xlrd: original sheet {i} changed")
        for name, cells in n["sheets"][k:]:
            src = o["sheets"][int(name[-1]) - 1][1]
            for addr, value in src.items():
                if addr not in WRITTEN and cells.get(addr) != value:
                    failures.append(f"{base}: xlrd: copy {name} {addr} reads {cells.get(addr)}, not {value}")
                    break
            for addr, want in WRITTEN.items():
                if want and (cells.get(addr) or [None, None])[:2] != list(want):
                    failures.append(f"{base}: xlrd: copy {name} {addr} reads {cells.get(addr)}")
            if (cells.get("E5") or [None, None])[1] != -3.25:
                failures.append(f"{base}: xlrd: copy {name} E5 reads {cells.get('E5')}")

    for base, (orig, out) in outputs.items():
        _, known = gnumeric_warnings(orig, os.path.join(work, base + ".orig.%s.csv"))
        code, seen = gnumeric_warnings(out, os.path.join(work, base + ".gnumeric.%s.csv"))
        if code != 0 or seen - known:
            failures.append(f"{base}: gnumeric: {code} {sorted(seen - known)[:2]}")
        got = len(glob.glob(os.path.join(work, base + ".gnumeric.*.csv")))
        if got != len(dump[out].get("sheets", [])) + chart_sheets(out):
            failures.append(f"{base}: gnumeric read {got} sheets")

    lo = os.path.join(work, "lo")
    os.makedirs(lo)
    r = subprocess.run(["soffice", f"-env:UserInstallation=file://{work}/lo-profile", "--headless", "--convert-to",
                        'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1', "--outdir", lo]
                       + list(copies.values()), capture_output=True, text=True, timeout=600)
    for base, (orig, out) in outputs.items():
        names = [s[0] for s in dump[out].get("sheets", [])]
        k = len(dump[orig]["sheets"])
        for j, name in enumerate(names[k:]):
            src_name = names[int(name[-1]) - 1]
            def rows(sheet):
                path = os.path.join(lo, f"{base}-copyonly-{sheet}.csv")
                if not os.path.exists(path):
                    return None
                with open(path, encoding="utf-8", newline="") as fh:
                    return list(csv.reader(fh))
            a, b = rows(src_name), rows(name)
            if a is None or b is None:
                failures.append(f"{base}: LibreOffice wrote no sheet {src_name if a is None else name}")
                continue
            if a != b and (base, name) in KNOWN:
                print(f"{base}: copy {name} differs, known: {KNOWN[(base, name)]}")
            elif a != b:
                failures.append(f"{base}: LibreOffice: copy {name} does not read as {src_name}")

    # Apache POI, the strictest reader: an output it refuses where it reads the original, or a copy
    # it reads unlike its source, is a failure.
    poi = os.path.join(work, "poi")
    jars = ":".join(f"/usr/share/java/{j}.jar" for j in ("poi", "commons-collections4", "commons-math3", "commons-codec"))
    r = subprocess.run(["java", "-cp", jars, os.path.join(HERE, "PoiRead.java"), poi] +
                       [f"{kind}-{base}={path}" for base, pair in outputs.items() for kind, path in zip("on", pair)],
                       capture_output=True, text=True, timeout=600)
    refused = {line.split(": ", 1)[0]: line for line in r.stderr.splitlines() if ": " in line}
    for base, (orig, out) in outputs.items():
        if out in refused and orig not in refused:
            failures.append(f"{base}: Apache POI refuses the output: {refused[out][-300:]}")
            continue
        if orig in refused:
            continue
        names = [s[0] for s in dump[out].get("sheets", [])]
        k = len(dump[orig]["sheets"])
        for name in names[k:]:
            src_name = names[int(name[-1]) - 1]
            def poi_rows(key, sheet):
                path = os.path.join(poi, f"{key}.{sheet}.csv")
                if not os.path.exists(path):
                    return None
                with open(path, encoding="utf-8", newline="") as fh:
                    return list(csv.reader(fh))
            a, b = poi_rows(f"n-{base}", src_name), poi_rows(f"n-{base}", name)
            if a is None or b is None:
                failures.append(f"{base}: Apache POI read no sheet {src_name if a is None else name}")
                continue
            # The written cells (A1 to F6 on the diagonal) differ by design: compare the others.
            def unwritten(rows):
                return {(r, c): v for r, row in enumerate(rows) for c, v in enumerate(row)
                        if v != "" and not (r == c and r < 6)}
            if unwritten(a) != unwritten(b) and (base, name) not in KNOWN:
                failures.append(f"{base}: Apache POI: copy {name} does not read as {src_name}")

    # Embedded charts, as LibreOffice reads them: each copy has its source's, and a range on the
    # source's own sheet is the same range on the copy.
    with_charts = [base for base, (orig, _) in outputs.items() if embedded_charts(orig)]
    if with_charts:
        r = subprocess.run([PY, os.path.join(HERE, "charts_uno.py"), "read", os.path.join(work, "charts")] +
                           [p for base in with_charts for p in (outputs[base][0], copies[base])],
                           capture_output=True, text=True, timeout=600)
        read = json.loads(r.stdout) if r.returncode == 0 else {}
        for base in with_charts:
            orig, copy = outputs[base][0], copies[base]
            if orig not in read:
                failures.append(f"{base}: LibreOffice read no charts: {r.stderr.strip()[-200:]}")
                continue
            names = json.loads(subprocess.check_output([PY, os.path.join(HERE, "xlrd_dump.py"), copy]))[copy]["sheets"]
            sheet_names = [n for n, _ in names]
            for k, charts in enumerate(read[orig]):
                copy_name = f"コピー{k + 1}"
                if copy_name not in sheet_names:
                    continue
                source_name = sheet_names[k]
                want = [[copy_name + rg[len(source_name):] if rg.startswith(source_name + "!") else rg for rg in chart]
                        for chart in charts]
                got = read[copy][sheet_names.index(copy_name)]
                if got != want:
                    failures.append(f"{base}: copy {copy_name} plots {got}, meant {want}")

    for f in failures:
        print("FAIL", f)
    print(f"{len(outputs) - len({f.split(':')[0] for f in failures})} passed, {len({f.split(':')[0] for f in failures})} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
