#!/usr/bin/python3
"""Variants of a template with its records laid out as other writers, or no writer, lay them out;
each is named for what it exercises. They hold the same cells, so every one must give the same
workbook.

    craft_variants.py XLS_TOOL TEMPLATE OUT_DIR     writes OUT_DIR/<variant>.xls, prints the names

Two with a VBA project, which the engine leaves out of what it makes (the project's storage
comes from a workbook Excel 97 saved, tests/data/xls/parseexcel-Test97J.xls):
    vba-project.xls               the project, OBPROJ, the code names of the workbook and its
                                  sheets, and the name of a macro run on opening (Auto_Open)
    vba-signed.xls                the same with a signature stream in the project

And one that a template check must turn down:
    form-cell-inside-merge.xls    K18:W19 merged on the delivery form, so K19 is not its top-left
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from biff import records  # noqa: E402

BOF, EOF, INDEX, DBCELL, ROW, DIMENSIONS, WINDOW2, SETUP = 0x0809, 0x000A, 0x020B, 0x00D7, 0x0208, 0x0200, 0x023E, 0x00A1
BOUNDSHEET, SST, CONTINUE, MERGECELLS = 0x0085, 0x00FC, 0x003C, 0x00E5
LABELSST, LABEL, NUMBER, MULBLANK, MULRK, BLANK, RK = 0x00FD, 0x0204, 0x0203, 0x00BE, 0x00BD, 0x0201, 0x027E
CELLS = {0x0201, 0x0203, 0x027E, 0x00FD, 0x0204, 0x0205, 0x0006, 0x00BD, 0x00BE, 0x00D6}
FOLLOWERS = {0x0207, 0x04BC, 0x0221, 0x0236}


def split(stream):
    """The globals and each sheet's records."""
    recs = records(stream)
    end = next(i for i, r in enumerate(recs) if r[0] == EOF)
    globals_, sheets, depth = recs[:end + 1], [], 0
    for r in recs[end + 1:]:
        if r[0] == BOF and depth == 0:
            sheets.append([])
        sheets[-1].append(r)
        depth += 1 if r[0] == BOF else -1 if r[0] == EOF else 0
    return globals_, sheets


def join(globals_, sheets):
    """The stream, with each BOUNDSHEET pointing at its sheet."""
    def raw(recs):
        return b"".join(struct.pack("<HH", t, len(d)) + d for t, d in recs)
    size = len(raw(globals_))
    offsets = []
    for s in sheets:
        offsets.append(size)
        size += len(raw(s))
    k = 0
    for r in globals_:
        if r[0] == BOUNDSHEET:
            r[1] = struct.pack("<I", offsets[k]) + r[1][4:]
            k += 1
    return raw(globals_) + b"".join(raw(s) for s in sheets)


def table_units(sheet):
    """The cell table as units (a ROW, or a cell with its followers) and the other records, with the
    index where the table began among them."""
    units, others, at = [], [], None
    i = 0
    while i < len(sheet):
        t = sheet[i][0]
        if t in CELLS or t == ROW:
            if at is None:
                at = len(others)
            unit = [sheet[i]]
            while i + 1 < len(sheet) and sheet[i + 1][0] in FOLLOWERS | {CONTINUE} and t == 0x0006:
                i += 1
                unit.append(sheet[i])
            units.append(unit)
        elif t in (INDEX, DBCELL):
            pass
        else:
            others.append(sheet[i])
        i += 1
    return units, others, at


def flat(units):
    return [r for u in units for r in u]


def row_of(unit):
    return struct.unpack_from("<H", unit[0][1], 0)[0]


def sst_strings(globals_):
    i = next(k for k, r in enumerate(globals_) if r[0] == SST)
    data = globals_[i][1]
    chunks = [data[8:]]
    for r in globals_[i + 1:]:
        if r[0] != CONTINUE:
            break
        chunks.append(r[1])
    # The template's strings are short: none is split over records, so the chunks just join.
    blob = b"".join(chunks)
    count = struct.unpack_from("<I", data, 4)[0]
    out, p = [], 0
    for _ in range(count):
        cch, flags = struct.unpack_from("<HB", blob, p)
        p += 3
        runs = ext = 0
        if flags & 8:
            runs = struct.unpack_from("<H", blob, p)[0]
            p += 2
        if flags & 4:
            ext = struct.unpack_from("<I", blob, p)[0]
            p += 4
        width = 2 if flags & 1 else 1
        text = blob[p:p + cch * width].decode("utf-16-le" if width == 2 else "latin-1")
        p += cch * width + runs * 4 + ext
        out.append(text)
    return out


# ---- the variants --------------------------------------------------------------------------

def each_sheet(change):
    def variant(globals_, sheets):
        return globals_, [change(s) for s in sheets]
    return variant


def cells_at_end(sheet):
    units, others, _ = table_units(sheet)
    return others[:-1] + flat(units) + others[-1:]


def cells_after_page_setup(sheet):
    # DIMENSIONS right after BOF, the table right after SETUP, as a script-made workbook has them.
    units, others, _ = table_units(sheet)
    dims = [r for r in others if r[0] == DIMENSIONS]
    rest = [r for r in others if r[0] != DIMENSIONS]
    setup = next(i for i, r in enumerate(rest) if r[0] == SETUP)
    return rest[:1] + dims + rest[1:setup + 1] + flat(units) + rest[setup + 1:]


def excel_2007_tail(sheet):
    # Excel 2007 and later end a sheet with a second HEADERFOOTER and a PLV after WINDOW2, with a
    # HEADERFOOTER also among the page setup before the table.
    def frt(rt):  # the future-record header: its type, no flags, eight reserved bytes
        return struct.pack("<HH", rt, 0) + bytes(8)
    header_footer = [0x089C, frt(0x089C) + bytes(16) + struct.pack("<HHHHH", 0, 0, 0, 0, 0)]
    plv = [0x088B, frt(0x088B) + struct.pack("<HH", 100, 0)]
    setup = next(i for i, r in enumerate(sheet) if r[0] == SETUP)
    sheet = sheet[:setup + 1] + [list(header_footer)] + sheet[setup + 1:]
    return sheet[:-1] + [list(header_footer), plv] + sheet[-1:]


def no_row_records(sheet):
    units, others, at = table_units(sheet)
    return others[:at] + flat([u for u in units if u[0][0] != ROW]) + others[at:]


def rows_backwards(sheet):
    # Rows from the last to the first, each ROW right before its cells, the cells right to left.
    units, others, at = table_units(sheet)
    rows = {}
    for u in units:
        rows.setdefault(row_of(u), []).append(u)
    out = []
    for r in sorted(rows, reverse=True):
        row_recs = [u for u in rows[r] if u[0][0] == ROW]
        cells = [u for u in rows[r] if u[0][0] != ROW]
        out += row_recs + cells[::-1]
    return others[:at] + flat(out) + others[at:]


def row_split_in_two(sheet):
    # Each row's second half of cells moves to after all the other cells.
    units, others, at = table_units(sheet)
    first, later, seen = [], [], {}
    for u in units:
        if u[0][0] == ROW:
            first.append(u)
            continue
        seen.setdefault(row_of(u), []).append(u)
    for r, cells in seen.items():
        half = (len(cells) + 1) // 2
        first += cells[:half]
        later += cells[half:]
    return others[:at] + flat(first + later) + others[at:]


def merge_after_last_cell(sheet):
    # One MERGECELLS per range, right after the record that holds the range's bottom-right cell.
    units, others, at = table_units(sheet)
    ranges = []
    for t, d in others:
        if t == MERGECELLS:
            n = struct.unpack_from("<H", d, 0)[0]
            ranges += [struct.unpack_from("<4H", d, 2 + 8 * k) for k in range(n)]
    others = [r for r in others if r[0] != MERGECELLS]

    def holds(unit, row, col):
        t, d = unit[0]
        if t == ROW or struct.unpack_from("<H", d, 0)[0] != row:
            return False
        first = struct.unpack_from("<H", d, 2)[0]
        last = struct.unpack_from("<H", d, len(d) - 2)[0] if t in (MULBLANK, MULRK) else first
        return first <= col <= last

    out, placed = [], set()
    for u in units:
        out.append(u)
        for k, (r1, r2, c1, c2) in enumerate(ranges):
            if k not in placed and holds(u, r2, c2):
                out.append([[MERGECELLS, struct.pack("<H4H", 1, r1, r2, c1, c2)]])
                placed.add(k)
    left = [rg for k, rg in enumerate(ranges) if k not in placed]
    tail = [[MERGECELLS, struct.pack("<H", len(left)) + b"".join(struct.pack("<4H", *rg) for rg in left)]] if left else []
    return others[:at] + flat(out) + others[at:-1] + tail + others[-1:]


def duplicate_addresses(sheet):
    # Before each row's first cell, an earlier record for the same address: the later one counts.
    units, others, at = table_units(sheet)
    out, done = [], set()
    for u in units:
        if u[0][0] != ROW and row_of(u) not in done:
            done.add(row_of(u))
            r, c, xf = struct.unpack_from("<3H", u[0][1], 0)
            out.append([[NUMBER, struct.pack("<3Hd", r, c, xf, 999.0)]])
        out.append(u)
    return others[:at] + flat(out) + others[at:]


def rows_without_cells(sheet):
    units, others, at = table_units(sheet)
    extra = [[[ROW, struct.pack("<8H", r, 0, 0, 300, 0, 0, 0x0100, 0x000F)]] for r in range(199, 205)]
    return others[:at] + flat(units + extra) + others[at:]


def one_cell_runs(sheet):
    # Every MULBLANK cut into runs of one cell.
    out = []
    for t, d in sheet:
        if t == MULBLANK:
            r, first = struct.unpack_from("<2H", d, 0)
            n = (len(d) - 6) // 2
            for k in range(n):
                xf = struct.unpack_from("<H", d, 4 + 2 * k)[0]
                out.append([MULBLANK, struct.pack("<4H", r, first + k, xf, first + k)])
        else:
            out.append([t, d])
    return out


def label_not_labelsst(globals_, sheets):
    strings = sst_strings(globals_)

    def change(sheet):
        out = []
        for t, d in sheet:
            if t == LABELSST:
                r, c, xf, isst = struct.unpack_from("<3HI", d, 0)
                text = strings[isst]
                wide = any(ord(ch) > 0xFF for ch in text)
                chars = text.encode("utf-16-le") if wide else text.encode("latin-1")
                out.append([LABEL, struct.pack("<3HHB", r, c, xf, len(text), 1 if wide else 0) + chars])
            else:
                out.append([t, d])
        return out
    sheets = [change(s) for s in sheets]
    # No cell uses the shared strings any more.
    for r in globals_:
        if r[0] == SST:
            r[1] = struct.pack("<I", 0) + r[1][4:]
    return globals_, sheets


def form_cell_inside_merge(globals_, sheets):
    # K18:W18 and K19:W19 of the delivery form become one range K18:W19.
    sheet = sheets[0]
    for r in sheet:
        if r[0] != MERGECELLS:
            continue
        n = struct.unpack_from("<H", r[1], 0)[0]
        ranges = [struct.unpack_from("<4H", r[1], 2 + 8 * k) for k in range(n)]
        ranges = [rg for rg in ranges if rg != (18, 18, 10, 22)]
        ranges = [(17, 18, 10, 22) if rg == (17, 17, 10, 22) else rg for rg in ranges]
        r[1] = struct.pack("<H", len(ranges)) + b"".join(struct.pack("<4H", *rg) for rg in ranges)
    return globals_, sheets


VARIANTS = {
    "cells-at-end-of-sheet": each_sheet(cells_at_end),
    "cells-after-page-setup": each_sheet(cells_after_page_setup),
    "no-row-records": each_sheet(no_row_records),
    "excel-2007-tail": each_sheet(excel_2007_tail),
    "rows-backwards": each_sheet(rows_backwards),
    "row-split-in-two-places": each_sheet(row_split_in_two),
    "merge-after-last-cell": each_sheet(merge_after_last_cell),
    "duplicate-addresses": each_sheet(duplicate_addresses),
    "rows-without-cells": each_sheet(rows_without_cells),
    "one-cell-runs": each_sheet(one_cell_runs),
    "label-not-labelsst": label_not_labelsst,
}
CHECK_ONLY = {"form-cell-inside-merge": form_cell_inside_merge}


VBA_DONOR = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "data", "xls",
                         "parseexcel-Test97J.xls")
OBPROJ, CODENAME, NAME, WINDOW1, FNGROUPCOUNT = 0x00D3, 0x01BA, 0x0018, 0x003D, 0x009C


def vba_records(globals_, sheets):
    """The records that tie a workbook to its VBA project, where Excel writes them."""
    def code_name(text):
        return [CODENAME, struct.pack("<HB", len(text), 0) + text.encode("ascii")]
    g = [list(r) for r in globals_]
    at = next((i for i, r in enumerate(g) if r[0] == FNGROUPCOUNT), None)
    if at is None:
        at = next(i for i, r in enumerate(g) if r[0] == WINDOW1) + 1
    g[at:at] = [[OBPROJ, b""], code_name("ThisWorkbook")]
    # A VBA macro's name (hidden from nothing, VBA and macro bits set, no formula), after the other
    # names so that none of theirs changes number.
    name = b"Auto_Open"
    lbl = struct.pack("<HBBHHH4B", 0x000C, 0, len(name), 0, 0, 0, 0, 0, 0, 0) + b"\0" + name
    last = max((i for i, r in enumerate(g) if r[0] in (NAME, 0x0017, 0x01AE, BOUNDSHEET)), default=0)
    g.insert(last + 1, [NAME, lbl])
    out = []
    for k, sheet in enumerate(sheets):
        sh = [list(r) for r in sheet]
        sh.insert(len(sh) - 1, code_name(f"Sheet{k + 1}"))
        out.append(sh)
    return g, out


def renamed_entry(path, old, new):
    """The file with one directory entry renamed in place."""
    data = bytearray(open(path, "rb").read())
    at = data.find(old.encode("utf-16-le") + b"\0\0")
    if at < 0:
        raise SystemExit(f"{path}: no entry {old!r} to rename")
    name = new.encode("utf-16-le") + b"\0\0"
    data[at:at + 64] = name + b"\0" * (64 - len(name))
    struct.pack_into("<H", data, at + 64, len(name))
    open(path, "wb").write(data)


def main():
    tool, template, outdir = sys.argv[1:4]
    os.makedirs(outdir, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        # The template as the engine writes it: with INDEX and DBCELL records to take away.
        indexed = os.path.join(tmp, "indexed.xls")
        subprocess.run([tool, "roundtrip", template, indexed], check=True)
        stream_path = os.path.join(tmp, "stream")
        subprocess.run([tool, "stream", indexed, stream_path], check=True)
        base = open(stream_path, "rb").read()

        def write(name, globals_, sheets, container=template):
            # INDEX and DBCELL would point at the old places: no variant keeps them.
            sheets = [[r for r in sh if r[0] not in (INDEX, DBCELL)] for sh in sheets]
            body = os.path.join(tmp, name + ".stream")
            with open(body, "wb") as f:
                f.write(join(globals_, sheets))
            subprocess.run([tool, "pack", container, body, os.path.join(outdir, name + ".xls")], check=True)
            print(name)

        for name, make in {**VARIANTS, **CHECK_ONLY}.items():
            write(name, *make(*split(base)))
        # The template as the engine writes it, without its INDEX and DBCELL records.
        write("no-index-no-dbcell", *split(base))
        # The form in the container of a workbook with a VBA project.
        write("vba-project", *vba_records(*split(base)), container=VBA_DONOR)
        signed = os.path.join(outdir, "vba-signed.xls")
        shutil.copy(os.path.join(outdir, "vba-project.xls"), signed)
        renamed_entry(signed, "PROJECTwm", "\x05DigitalSignature")
        print("vba-signed")


if __name__ == "__main__":
    main()
