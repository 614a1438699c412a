#!/usr/bin/python3
"""Writes a copy of a workbook with xlwt, as an office might make its template with a Python
script: every cell with its value and format (font, alignment, borders, fill, number format),
the merged ranges, column widths and row heights.

    xlwt_copy.py IN.xls OUT.xls
"""
import sys

import xlrd
import xlwt


def style_of(book, xf_index, cache):
    if xf_index in cache:
        return cache[xf_index]
    xf = book.xf_list[xf_index]
    st = xlwt.XFStyle()
    f = book.font_list[xf.font_index]
    st.font.name = f.name
    st.font.height = f.height
    st.font.bold = f.bold
    st.font.italic = f.italic
    st.font.colour_index = f.colour_index
    st.num_format_str = book.format_map[xf.format_key].format_str
    a = xf.alignment
    st.alignment.horz = a.hor_align
    st.alignment.vert = a.vert_align
    st.alignment.wrap = a.text_wrapped
    b = xf.border
    st.borders.left, st.borders.right = b.left_line_style, b.right_line_style
    st.borders.top, st.borders.bottom = b.top_line_style, b.bottom_line_style
    st.borders.left_colour, st.borders.right_colour = b.left_colour_index, b.right_colour_index
    st.borders.top_colour, st.borders.bottom_colour = b.top_colour_index, b.bottom_colour_index
    if xf.background.fill_pattern:
        st.pattern.pattern = xf.background.fill_pattern
        st.pattern.pattern_fore_colour = xf.background.pattern_colour_index
        st.pattern.pattern_back_colour = xf.background.background_colour_index
    cache[xf_index] = st
    return st


def main():
    src, dst = sys.argv[1], sys.argv[2]
    book = xlrd.open_workbook(src, formatting_info=True)
    out = xlwt.Workbook(encoding="utf-8")
    cache = {}
    for sheet in book.sheets():
        ws = out.add_sheet(sheet.name, cell_overwrite_ok=True)
        for c, info in sheet.colinfo_map.items():
            ws.col(c).width = info.width
        for r, info in sheet.rowinfo_map.items():
            if info.height_mismatch:
                ws.row(r).height_mismatch = True
                ws.row(r).height = info.height
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                st = style_of(book, cell.xf_index, cache)
                if cell.ctype in (xlrd.XL_CELL_TEXT, xlrd.XL_CELL_NUMBER):
                    ws.write(r, c, cell.value, st)
                elif cell.ctype == xlrd.XL_CELL_BLANK:
                    ws.write(r, c, None, st)
        for r1, r2, c1, c2 in sheet.merged_cells:
            ws.merge(r1, r2 - 1, c1, c2 - 1)
    out.save(dst)


if __name__ == "__main__":
    main()
