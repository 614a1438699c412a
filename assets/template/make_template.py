#!/usr/bin/python3
"""Makes the purchase-order template MST_PO.xls: a flat OpenDocument spreadsheet written here,
turned into Excel 97-2003 format by LibreOffice.

    make_template.py OUT_DIR        (needs soffice; writes OUT_DIR/MST_PO.xls)

Two sheets, "海外納品情報" (delivery information) and "Purchase Order", on a narrow grid of
64 columns, with a label beside every value cell, merged value cells, borders around the detail
bands, number formats on quantities, prices and amounts, a print range and A4 page setup each.
"""
import os
import shutil
import subprocess
import sys
import tempfile
from xml.sax.saxutils import escape

COLS = 64


def col_index(letters):
    n = 0
    for ch in letters:
        n = n * 26 + ord(ch) - 64
    return n - 1


def parse(ref):
    letters = "".join(c for c in ref if c.isalpha())
    return int(ref[len(letters):]) - 1, col_index(letters)


class Sheet:
    def __init__(self, name, rows):
        self.name, self.rows = name, rows
        self.cells = {}      # (r, c) -> (text, style, rowspan, colspan)
        self.covered = set()
        self.boxed = {}      # (r, c) -> border style of covered cells

    def put(self, area, text="", style="value"):
        a, _, b = area.partition(":")
        r1, c1 = parse(a)
        r2, c2 = parse(b) if b else (r1, c1)
        self.cells[(r1, c1)] = (text, style, r2 - r1 + 1, c2 - c1 + 1)
        for r in range(r1, r2 + 1):
            for c in range(c1, c2 + 1):
                if (r, c) != (r1, c1):
                    self.covered.add((r, c))
                    self.boxed[(r, c)] = style

    def label(self, area, text):
        self.put(area, text, "label")

    def xml(self, print_range):
        out = [f'<table:table table:name="{escape(self.name)}" table:style-name="ta1" '
               f'table:print-ranges="{escape(print_range)}">',
               f'<table:table-column table:style-name="co1" table:number-columns-repeated="{COLS}" '
               f'table:default-cell-style-name="Default"/>']
        for r in range(self.rows):
            out.append('<table:table-row table:style-name="ro1">')
            for c in range(COLS):
                if (r, c) in self.covered:
                    out.append(f'<table:covered-table-cell table:style-name="{self.boxed[(r, c)]}"/>')
                elif (r, c) in self.cells:
                    text, style, rs, cs = self.cells[(r, c)]
                    span = f' table:number-rows-spanned="{rs}" table:number-columns-spanned="{cs}"' if rs * cs > 1 else ""
                    body = f'<text:p>{escape(text)}</text:p>' if text else ""
                    kind = ' office:value-type="string"' if text else ""
                    out.append(f'<table:table-cell table:style-name="{style}"{span}{kind}>{body}</table:table-cell>')
                else:
                    out.append('<table:table-cell/>')
            out.append('</table:table-row>')
        out.append('</table:table>')
        return "".join(out)


def delivery_sheet():
    s = Sheet("海外納品情報", 76)
    s.put("A1:P1", "海外納品情報", "title")
    s.label("AQ1:AT1", "PO No.")
    s.put("AU1:BL1", "", "value")
    s.label("AY2:BB2", "頁")
    s.put("BC2:BL2")
    s.label("A3:H3", "発注先")
    s.put("I3:AO3")
    s.label("AY3:BB3", "発行日")
    s.put("BC3:BL3")
    s.label("A5:G5", "得意先")
    s.put("H5:AL5")
    s.label("AN5:AS5", "担当者")
    s.put("AT5:BL5")
    for row, text in ((7, "納品先名"), (8, "納品先名(中文)"), (9, "納品先住所"), (10, "納品先住所(中文)")):
        s.label(f"A{row}:K{row}", text)
        s.put(f"L{row}:BL{row}")
    s.label("A11:G11", "TEL")
    s.put("H11:S11")
    s.label("T11:W11", "FAX")
    s.put("X11:AG11")
    s.label("AH11:AM11", "担当者")
    s.put("AN11:AY11")
    s.label("AZ11:BI11", "納品先CD")
    s.put("BJ11:BL11")
    s.label("A14:G14", "請求先")
    s.put("H14:BL14")
    s.label("A15:G15", "請求先住所")
    s.put("H15:BL15")
    s.label("A16:G16", "TEL")
    s.put("H16:S16")
    s.label("T16:W16", "FAX")
    s.put("X16:AG16")
    s.label("AH16:AM16", "担当者")
    s.put("AN16:AW16")
    s.label("AX16:BC16", "請求先CD")
    s.put("BD16:BL16")
    left = ["希望納期", "納品形態", "出荷方法", "運賃請求", "運賃形態", "建値区分", "通貨区分"]
    middle = ["ロス率", "ロス請求", "販売形態", "商品集積地", "", "客先契約番号", "KP番号"]
    for i in range(7):
        row = 17 + i
        s.label(f"A{row}:J{row}", left[i])
        s.put(f"K{row}:W{row}", "", "date" if i == 0 else "value")
        if middle[i]:
            s.label(f"X{row}:AE{row}", middle[i])
            s.put(f"AF{row}:AR{row}")
        if i < 5:
            s.label(f"AS{row}:AZ{row}", f"決済経路{i + 1}")
            s.put(f"BA{row}:BL{row}")
    s.label("A26:AP26", "備考")
    s.label("AR25:BL25", "ケースマーク")
    s.put("AR26:BL31")
    for row in range(27, 32):
        s.put(f"B{row}:AP{row}")
    heads = [("A33:A33", "No"), ("B33:I33", "商品CD"), ("J33:AH33", "品名"), ("AI33:AQ33", "客先商品CD"),
             ("AR33:AX33", "数量"), ("AY33:BE33", "下代"), ("BF33:BL33", "上代")]
    for area, text in heads:
        s.put(area, text, "head")
    for k in range(20):
        r = 34 + 2 * k
        s.put(f"A{r}:A{r + 1}", str(k + 1), "box")
        s.put(f"B{r}:I{r + 1}", "", "box")
        s.put(f"J{r}:AH{r}", "", "box")
        s.put(f"J{r + 1}:AH{r + 1}", "", "box")
        s.put(f"AI{r}:AQ{r + 1}", "", "box")
        s.put(f"AR{r}:AX{r + 1}", "", "qty")
        s.put(f"AY{r}:BE{r + 1}", "", "price")
        s.put(f"BF{r}:BL{r + 1}", "", "price")
    s.label("A75:H75", "発注元")
    s.put("I75:AO75")
    return s


def order_sheet():
    s = Sheet("Purchase Order", 72)
    s.put("A1:BL3", "PURCHASE ORDER  発注書", "title")
    s.label("A7:G7", "発注先")
    s.put("H7:AK7")
    s.label("AQ7:AX7", "PO No.")
    s.put("AY7:BL7")
    s.label("A8:G8", "住所")
    s.put("H8:AK8")
    s.put("H9:AK9")
    s.label("A11:G11", "TEL")
    s.put("H11:AK11")
    s.label("AQ11:AT11", "発行日")
    s.put("AU11:BL11")
    s.label("A13:G13", "責任者")
    s.put("H13:AK13")
    s.label("AQ13:AT13", "担当者")
    s.put("AU13:BL13")
    heads = [("A16:C16", "No"), ("D16:K16", "商品CD"), ("L16:AJ16", "品名"), ("AK16:AS16", "数量"),
             ("AT16:BB16", "単価"), ("BC16:BL16", "金額")]
    for area, text in heads:
        s.put(area, text, "head")
    for k in range(20):
        r = 17 + 2 * k
        s.put(f"A{r}:C{r + 1}", str(k + 1), "box")
        s.put(f"D{r}:K{r + 1}", "", "box")
        s.put(f"L{r}:AJ{r}", "", "box")
        s.put(f"L{r + 1}:AJ{r + 1}", "", "box")
        s.put(f"AK{r}:AS{r + 1}", "", "qty")
        s.put(f"AT{r}:BB{r + 1}", "", "price")
        s.put(f"BC{r}:BL{r + 1}", "", "amount")
    s.put("A57:AJ57", "合計", "head")
    s.put("AK57:AS57", "", "qtytotal")
    s.put("AT57:BB57", "", "box")
    s.put("BC57:BL57", "", "amounttotal")
    s.label("A60:I60", "備考")
    s.put("J60:AN60")
    s.label("AO60:AS60", "契約番号")
    s.put("AT60:BL60")
    s.label("A62:R62", "請求先")
    s.put("S62:BL62")
    s.label("A63:K63", "納品先")
    s.put("L63:BL63")
    s.label("A64:R64", "希望納期")
    s.put("S64:AD64", "", "date")
    s.label("A70:C70", "発注先")
    s.put("D71:AK71", "", "sign")
    s.label("AO70:AQ70", "発注元")
    s.put("AR71:BL71", "", "sign")
    return s


STYLES = """
<office:font-face-decls><style:font-face style:name="IPAGothic" svg:font-family="IPAGothic"/></office:font-face-decls>
<office:styles>
 <style:default-style style:family="table-cell"><style:text-properties style:font-name="IPAGothic" fo:font-size="8pt" style:font-name-asian="IPAGothic" style:font-size-asian="8pt"/></style:default-style>
 <style:style style:name="Default" style:family="table-cell"/>
</office:styles>
<office:automatic-styles>
 <number:number-style style:name="Nqty"><number:number number:decimal-places="2" number:min-decimal-places="0" number:min-integer-digits="1" number:grouping="true"/></number:number-style>
 <number:number-style style:name="Nprice"><number:number number:decimal-places="4" number:min-decimal-places="2" number:min-integer-digits="1" number:grouping="true"/></number:number-style>
 <number:number-style style:name="Namount"><number:number number:decimal-places="0" number:min-integer-digits="1" number:grouping="true"/></number:number-style>
 <number:date-style style:name="Ndate"><number:year number:style="long"/><number:text>/</number:text><number:month number:style="long"/><number:text>/</number:text><number:day number:style="long"/></number:date-style>
 <style:style style:name="co1" style:family="table-column"><style:table-column-properties style:column-width="0.3cm"/></style:style>
 <style:style style:name="ro1" style:family="table-row"><style:table-row-properties style:row-height="0.42cm" style:use-optimal-row-height="false"/></style:style>
 <style:style style:name="ta1" style:family="table" style:master-page-name="A4"><style:table-properties table:display="true"/></style:style>
 <style:style style:name="title" style:family="table-cell" style:parent-style-name="Default"><style:table-cell-properties style:vertical-align="middle"/><style:text-properties fo:font-size="14pt" fo:font-weight="bold" style:font-size-asian="14pt" style:font-weight-asian="bold"/></style:style>
 <style:style style:name="label" style:family="table-cell" style:parent-style-name="Default"><style:table-cell-properties fo:background-color="#e8eef6" fo:border="0.5pt solid #7f7f7f" style:vertical-align="middle"/><style:text-properties fo:font-weight="bold" style:font-weight-asian="bold"/></style:style>
 <style:style style:name="value" style:family="table-cell" style:parent-style-name="Default"><style:table-cell-properties fo:border-bottom="0.5pt solid #7f7f7f" style:vertical-align="middle" fo:wrap-option="no-wrap"/></style:style>
 <style:style style:name="date" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="Ndate"><style:table-cell-properties fo:border-bottom="0.5pt solid #7f7f7f" style:vertical-align="middle"/><style:paragraph-properties fo:text-align="start"/></style:style>
 <style:style style:name="head" style:family="table-cell" style:parent-style-name="Default"><style:table-cell-properties fo:background-color="#d9e2f3" fo:border="0.75pt solid #000000" style:vertical-align="middle"/><style:paragraph-properties fo:text-align="center"/><style:text-properties fo:font-weight="bold" style:font-weight-asian="bold"/></style:style>
 <style:style style:name="box" style:family="table-cell" style:parent-style-name="Default"><style:table-cell-properties fo:border="0.5pt solid #000000" style:vertical-align="middle"/></style:style>
 <style:style style:name="qty" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="Nqty"><style:table-cell-properties fo:border="0.5pt solid #000000" style:vertical-align="middle"/><style:paragraph-properties fo:text-align="end"/></style:style>
 <style:style style:name="price" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="Nprice"><style:table-cell-properties fo:border="0.5pt solid #000000" style:vertical-align="middle"/><style:paragraph-properties fo:text-align="end"/></style:style>
 <style:style style:name="amount" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="Namount"><style:table-cell-properties fo:border="0.5pt solid #000000" style:vertical-align="middle"/><style:paragraph-properties fo:text-align="end"/></style:style>
 <style:style style:name="qtytotal" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="Nqty"><style:table-cell-properties fo:border="1.5pt solid #000000" style:vertical-align="middle"/><style:paragraph-properties fo:text-align="end"/><style:text-properties fo:font-weight="bold" style:font-weight-asian="bold"/></style:style>
 <style:style style:name="amounttotal" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="Namount"><style:table-cell-properties fo:border="1.5pt solid #000000" style:vertical-align="middle"/><style:paragraph-properties fo:text-align="end"/><style:text-properties fo:font-weight="bold" style:font-weight-asian="bold"/></style:style>
 <style:style style:name="sign" style:family="table-cell" style:parent-style-name="Default"><style:table-cell-properties fo:border-bottom="0.75pt solid #000000"/></style:style>
 <style:page-layout style:name="pm1"><style:page-layout-properties fo:page-width="21.001cm" fo:page-height="29.7cm" style:print-orientation="portrait" fo:margin-top="1cm" fo:margin-bottom="1cm" fo:margin-left="1cm" fo:margin-right="1cm" style:scale-to-X="1" style:scale-to-Y="1" style:paper-tray-name="A4"/></style:page-layout>
</office:automatic-styles>
<office:master-styles><style:master-page style:name="A4" style:page-layout-name="pm1"><style:header style:display="false"/><style:footer style:display="false"/></style:master-page></office:master-styles>
"""


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    d, o = delivery_sheet(), order_sheet()
    doc = ('<?xml version="1.0" encoding="UTF-8"?>'
           '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
           'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
           'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
           'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
           'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
           'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" '
           'xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" '
           'office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">'
           + STYLES + '<office:body><office:spreadsheet>'
           + d.xml("'海外納品情報'.A1:'海外納品情報'.BL76")
           + o.xml("'Purchase Order'.A1:'Purchase Order'.BL72")
           + '</office:spreadsheet></office:body></office:document>')
    work = tempfile.mkdtemp()
    src = os.path.join(work, "MST_PO.fods")
    with open(src, "w", encoding="utf-8") as f:
        f.write(doc)
    subprocess.run(["soffice", f"-env:UserInstallation=file://{work}/profile", "--headless", "--convert-to",
                    "xls:MS Excel 97", "--outdir", work, src], check=True, capture_output=True)
    shutil.copy(os.path.join(work, "MST_PO.xls"), os.path.join(out_dir, "MST_PO.xls"))
    shutil.rmtree(work)


if __name__ == "__main__":
    main()
