#!/usr/bin/env python3
"""Makes the demo PO database: realistic Japanese purchase orders around today's date.

    make_demo_db.py OUT.db [--headers N] [--seed S] [--today YYYY-MM-DD]

The default set holds a few hundred POs over several staff codes (one of them "12"), both order
kinds, and POs with 0, 1, 19, 20, 21, 40, 45 and over 200 lines. With --headers 1000000 it makes
the large database of the benchmarks (few lines per PO), in one transaction.
"""
import argparse
import datetime
import os
import random
import sqlite3

HERE = os.path.dirname(os.path.abspath(__file__))

SUPPLIERS = [
    ("東洋精機株式会社", "大阪府大阪市北区梅田1-2-3", "梅田ビル5F", "06-6345-1200", "田中 誠"),
    ("上海恒通貿易有限公司", "上海市浦东新区世纪大道100号", "环球金融中心28楼", "+86-21-5888-0101", "王 伟"),
    ("大和化成工業", "奈良県奈良市三条町45", "", "0742-22-3456", "中村 健一"),
    ("深圳新材科技有限公司", "深圳市南山区科技园南区", "A栋12层", "+86-755-8666-2020", "李 娜"),
    ("北陸金属株式会社", "富山県富山市本町8-1", "", "076-432-7788", "森 和也"),
]
CUSTOMERS = [("A01", "北星商事"), ("A02", "南海物産"), ("B10", "中央電材"), ("B11", "東邦ホームセンター"),
             ("C20", "ミナト雑貨"), ("C21", "関西インテリア"), ("D30", "九州ツールズ")]
STAFF = [("12", "山田 太郎"), ("12", "山田 太郎"), ("15", "佐藤 花子"), ("21", "鈴木 一郎"),
         ("34", "高橋 美咲"), ("101", "伊藤 翔")]
DESTINATIONS = [
    ("大阪第一倉庫", "大阪第一仓库", "大阪府大阪市住之江区南港北2-1", "物流センター3号棟", "大阪府大阪市住之江区南港北2-1", "物流中心3号楼", "06-6612-0001", "06-6612-0002", "倉庫 主任", "W01"),
    ("東京湾岸センター", "东京湾岸中心", "東京都江東区有明3-5-7", "", "东京都江东区有明3-5-7", "", "03-5530-1111", "03-5530-1112", "受入 担当", "W02"),
    ("名古屋配送センター", None, "愛知県名古屋市港区潮見町37", "", None, None, "052-611-2222", None, "物流課", "W03"),
]
BILLING = [("北星商事株式会社", "経理部", "東京都千代田区丸の内1-1-1", "丸の内ビル10F", "03-3211-0001", "03-3211-0002", "会計 担当", "BL01"),
           ("南海物産株式会社", "購買部", "和歌山県和歌山市本町2-2", "", "073-422-1234", None, "購買 課長", "BL02")]
ITEMS = [("ITM-1001", "ステンレスボルト", "M8×30"), ("ITM-1002", "六角ナット", "M8"), ("ITM-2001", "樹脂ケース", "黒 W200"),
         ("ITM-2002", "収納ボックス", "白 L"), ("ITM-3001", "LEDデスクライト", "調光式"), ("ITM-3002", "延長コード", "3m 4口"),
         ("ITM-4001", "陶器マグカップ", "350ml"), ("ITM-4002", "ガラス保存容器", None), ("ITM-5001", "ワッシャー", None)]


def columns(table):
    with open(os.path.join(HERE, "schema-sqlite.sql"), encoding="utf-8") as f:
        text = f.read()
    body = text.split(f"CREATE TABLE {table} (", 1)[1].split(");", 1)[0]
    return [line.split()[0] for line in body.strip().splitlines() if not line.strip().startswith("PRIMARY")]


def header(rng, po_no, today):
    sup = rng.choice(SUPPLIERS)
    cust = rng.choice(CUSTOMERS)
    staff = rng.choice(STAFF)
    dest = rng.choice(DESTINATIONS)
    bill = rng.choice(BILLING)
    issued = today + datetime.timedelta(days=rng.randint(-120, 25))
    wanted = issued + datetime.timedelta(days=rng.randint(14, 60))
    kind = rng.choice("0000001")
    if rng.random() < 0.03:
        staff = (None, None)
    return {
        "PO番号": po_no, "発注区分": kind, "発注先名": sup[0], "発注先住所1": sup[1], "発注先住所2": sup[2] or None,
        "発注先TEL番号": sup[3], "発注先責任者名": sup[4], "PO発行日": issued.strftime("%Y/%m/%d"),
        "得意先CD": cust[0], "得意先名": cust[1] if rng.random() > 0.05 else None,
        "発注元担当者CD": staff[0], "発注元担当者名": staff[1], "発注元名": "株式会社トルバル商事",
        "納品先名": dest[0], "納品先名中文": dest[1], "納品先住所1": dest[2], "納品先住所2": dest[3] or None,
        "納品先住所1中文": dest[4], "納品先住所2中文": dest[5] or None, "納品先TEL番号": dest[6],
        "納品先FAX番号": dest[7], "納品先担当者名": dest[8], "納品先CD": dest[9],
        "請求先名": bill[0], "請求先部門": bill[1], "請求先住所1": bill[2], "請求先住所2": bill[3] or None,
        "請求先TEL番号": bill[4], "請求先FAX番号": bill[5], "請求先担当者名": bill[6], "請求先CD": bill[7],
        "希望納期": wanted.strftime("%Y/%m/%d") if rng.random() > 0.05 else None,
        "納品形態": rng.choice(["パレット", "カートン", "バラ"]), "出荷方法": rng.choice(["海上", "航空", "陸送"]),
        "運賃請求": rng.choice([0, 1]), "運賃形態": rng.choice(["FOB", "CIF", "EXW"]),
        "建値区分": rng.choice(["FOB上海", "CIF大阪", "国内渡し"]), "通貨区分": rng.choice(["JPY", "USD", "CNY"]),
        "ロス率": rng.choice([1, 2, 3, 0.5, None]), "ロス請求の有無": rng.choice([0, 1]),
        "販売形態": rng.choice(["卸売", "直販"]), "商品集積地": rng.choice(["上海", "寧波", "大阪"]),
        "客先契約番号": f"K-{rng.randint(10000, 99999)}" if rng.random() > 0.3 else None,
        "KP番号": f"KP{rng.randint(100, 999)}" if rng.random() > 0.5 else None,
        "決済経路1": "北星商事", "決済経路2": "トルバル商事" if rng.random() > 0.3 else None,
        "決済経路3": None, "決済経路4": None, "決済経路5": None,
        "備考1": "納品時に検品をお願いします。" if rng.random() > 0.4 else None,
        "備考2": "ケースマーク指定あり" if rng.random() > 0.6 else None, "備考3": None, "備考4": None, "備考5": None,
        "ケースマーク": "TLV/OSAKA" if rng.random() > 0.5 else None,
    }


def line(rng, po_no, n):
    code, name1, name2 = rng.choice(ITEMS)
    qty = rng.choice([1, 2, 5, 10, 12, 24, 50, 100, 120, 0.5, 1.5, 2.25])
    cost = round(rng.uniform(10, 5000), rng.choice([0, 1, 2, 4]))
    return (po_no, n, code, name1, name2, f"C{code[4:]}" if rng.random() > 0.3 else None,
            None if rng.random() < 0.02 else qty, cost, round(cost * 1.4, 2))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--headers", type=int, default=300)
    ap.add_argument("--seed", type=int, default=20241)
    ap.add_argument("--today", default=datetime.date.today().isoformat())
    args = ap.parse_args()
    rng = random.Random(args.seed)
    today = datetime.date.fromisoformat(args.today)
    big = args.headers > 10000

    if os.path.exists(args.out):
        os.remove(args.out)
    db = sqlite3.connect(args.out)
    with open(os.path.join(HERE, "schema-sqlite.sql"), encoding="utf-8") as f:
        db.executescript(f.read())
    hcols = columns("TBL_PO_H")
    hsql = f"INSERT INTO TBL_PO_H ({', '.join(hcols)}) VALUES ({', '.join('?' * len(hcols))})"
    msql = "INSERT INTO TBL_PO_M (PO番号, PO行, 商品CD, 品名1, 品名2, 客先商品CD, 数量, 下代, 上代) VALUES (?,?,?,?,?,?,?,?,?)"
    special = [0, 1, 19, 20, 21, 40, 45, 201, 230]
    db.execute("BEGIN")
    headers, lines = [], []
    for i in range(args.headers):
        po_no = f"PO{today.year % 100:02d}{i + 1:07d}" if big else f"P{today.year % 100:02d}-{i + 1:04d}"
        h = header(rng, po_no, today)
        if i < len(special):
            h["発注元担当者CD"], h["発注元担当者名"], h["発注区分"] = "12", "山田 太郎", "0"
            h["PO発行日"] = (today - datetime.timedelta(days=7 + i)).strftime("%Y/%m/%d")
            count = special[i]
        else:
            count = rng.randint(0, 3) if big else rng.choice([1, 2, 3, 5, 8, 12, 18, 25])
        headers.append([h[c] for c in hcols])
        lines.extend(line(rng, po_no, n + 1) for n in range(count))
        if len(headers) >= 20000:
            db.executemany(hsql, headers)
            db.executemany(msql, lines)
            headers, lines = [], []
    db.executemany(hsql, headers)
    db.executemany(msql, lines)
    db.commit()
    db.close()


if __name__ == "__main__":
    main()
