#!/usr/bin/python3
"""Prints a workbook's sheets and cells as JSON, read by xlrd (an independent reader).

    xlrd_dump.py FILE...   ->  {"FILE": {"sheets": [[name, {"A1": [type, value], ...}], ...]}}
"""
import json
import sys

import xlrd


def address(row, col):
    letters = ""
    col += 1
    while col:
        col, rest = divmod(col - 1, 26)
        letters = chr(65 + rest) + letters
    return f"{letters}{row + 1}"


def dump(path):
    try:
        book = xlrd.open_workbook(path, formatting_info=True)
    except Exception as e:  # noqa: BLE001 - the message is the result
        return {"error": f"{type(e).__name__}: {e}"}
    sheets = []
    for sheet in book.sheets():
        cells = {}
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                if cell.ctype in (xlrd.XL_CELL_EMPTY,):
                    continue
                kind = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number", xlrd.XL_CELL_DATE: "date",
                        xlrd.XL_CELL_BOOLEAN: "bool", xlrd.XL_CELL_ERROR: "error", xlrd.XL_CELL_BLANK: "blank"}[cell.ctype]
                cells[address(r, c)] = [kind, cell.value if kind != "blank" else "", cell.xf_index]
        sheets.append([sheet.name, cells])
    return {"sheets": sheets, "datemode": book.datemode}


if __name__ == "__main__":
    print(json.dumps({p: dump(p) for p in sys.argv[1:]}, ensure_ascii=False))
