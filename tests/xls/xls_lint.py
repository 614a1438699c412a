#!/usr/bin/python3
"""A structural checker for .xls files, stricter than the free readers: the compound file's
chains and sectors, and the BIFF8 records the spreadsheet application relies on.

    xls_lint.py FILE...    prints one line per problem; exit status 1 when there is any
"""
import struct
import sys

FREE, END, FATSECT, DIFSECT = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFC


class Lint:
    def __init__(self, path):
        self.path = path
        self.problems = []

    def bad(self, text):
        self.problems.append(text)

    # ---- compound file -------------------------------------------------------------------
    def cfb(self, data):
        if data[:8] != b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1":
            self.bad("no compound-file signature")
            return None
        shift = struct.unpack_from("<H", data, 0x1E)[0]
        size = 1 << shift
        nsect = (len(data) - size) // size
        if (len(data) - size) % size:
            self.bad("file length is not a whole number of sectors")
        nfat, dirstart, _, cutoff, mfstart, nmf, difstart, ndif = struct.unpack_from("<IIIIIIII", data, 0x2C)
        fatsects = [s for s in struct.unpack_from("<109I", data, 0x4C) if s != FREE]
        d = difstart
        for _ in range(ndif):
            off = (d + 1) * size
            vals = struct.unpack_from("<%dI" % (size // 4), data, off)
            fatsects += [s for s in vals[:-1] if s != FREE]
            d = vals[-1]
        if len(fatsects) != nfat:
            self.bad(f"header says {nfat} FAT sectors, DIFAT lists {len(fatsects)}")
        fat = []
        for s in fatsects:
            fat += struct.unpack_from("<%dI" % (size // 4), data, (s + 1) * size)
        used = [None] * nsect

        def walk(start, what):
            out, s = [], start
            while s != END:
                if s >= nsect or s >= len(fat):
                    self.bad(f"{what}: chain leaves the file at {s}")
                    break
                if used[s] is not None:
                    self.bad(f"{what}: sector {s} also used by {used[s]}")
                    break
                used[s] = what
                out.append(s)
                s = fat[s]
            return out

        for s in fatsects:
            if fat[s] != FATSECT:
                self.bad(f"FAT sector {s} not marked FATSECT")
            used[s] = "FAT"
        dirs = walk(dirstart, "directory")
        raw = b"".join(data[(s + 1) * size:(s + 2) * size] for s in dirs)
        entries = [raw[i:i + 128] for i in range(0, len(raw), 128)]
        root = entries[0]
        ministream = b"".join(data[(s + 1) * size:(s + 2) * size] for s in walk(struct.unpack_from("<I", root, 116)[0], "mini stream"))
        minifat_raw = b"".join(data[(s + 1) * size:(s + 2) * size] for s in walk(mfstart, "mini FAT")) if nmf else b""
        minifat = list(struct.unpack_from("<%dI" % (len(minifat_raw) // 4), minifat_raw))
        streams = {}
        for i, e in enumerate(entries):
            typ = e[66]
            if typ != 2:
                continue
            nlen = struct.unpack_from("<H", e, 64)[0]
            name = e[:max(0, nlen - 2)].decode("utf-16-le")
            start, sz = struct.unpack_from("<II", e, 116)
            if sz >= cutoff:
                chain = walk(start, name)
                got = b"".join(data[(s + 1) * size:(s + 2) * size] for s in chain)
                if len(chain) != (sz + size - 1) // size:
                    self.bad(f"stream {name}: {len(chain)} sectors for {sz} bytes")
            else:
                got, s, n = b"", start, 0
                while s != END and sz and n < 100000:
                    got += ministream[s * 64:(s + 1) * 64]
                    s = minifat[s] if s < len(minifat) else END
                    n += 1
            streams[name] = got[:sz]
        for s in range(nsect):
            if used[s] is None and s < len(fat) and fat[s] not in (FREE, DIFSECT):
                self.bad(f"sector {s} in the FAT but on no chain")
        return streams

    # ---- BIFF ----------------------------------------------------------------------------
    def biff(self, stream):
        recs, p = [], 0
        while p + 4 <= len(stream):
            t, n = struct.unpack_from("<HH", stream, p)
            if t == 0 and n == 0:
                break
            if n > 8224:
                self.bad(f"record {t:#06x} at {p:#x} has {n} bytes")
            recs.append((p, t, stream[p + 4:p + 4 + n]))
            p += 4 + n
        depth, subs, cur = 0, [], None
        for r in recs:
            if r[1] == 0x0809:
                if depth == 0:
                    cur = []
                    subs.append(cur)
                depth += 1
            if cur is not None:
                cur.append(r)
            if r[1] == 0x000A:
                depth -= 1
        if depth != 0:
            self.bad("BOF/EOF do not pair up")
        globs, sheets = subs[0], subs[1:]
        self.sst(globs)
        group = b""
        for i, (p, t, d) in enumerate(globs):
            if t == 0x00EB:
                group = d
                for p2, t2, d2 in globs[i + 1:]:
                    if t2 != 0x003C:
                        break
                    group += d2
                break
        bof_at = {s[0][0]: s for s in sheets}
        xfs = sum(1 for r in globs if r[1] == 0x00E0)
        names, bsheets, tabid, supbooks, xti = [], [], None, [], []
        sst_unique, sst_strings = None, 0
        for i, (p, t, d) in enumerate(globs):
            if t == 0x0085:
                pos = struct.unpack_from("<I", d, 0)[0]
                cch, flags = d[6], d[7]
                nm = d[8:8 + cch * (2 if flags & 1 else 1)].decode("utf-16-le" if flags & 1 else "latin-1")
                bsheets.append(nm)
                if pos not in bof_at:
                    self.bad(f"BOUNDSHEET {nm!r} points at {pos:#x}, no BOF there")
            elif t == 0x013D:
                tabid = struct.unpack_from("<%dH" % (len(d) // 2), d)
            elif t == 0x01AE:
                supbooks.append(d)
            elif t == 0x0017:
                n = struct.unpack_from("<H", d)[0]
                xti = [struct.unpack_from("<HhH", d, 2 + 6 * k) for k in range(n)]
            elif t == 0x0018:
                cch, itab = d[3], struct.unpack_from("<H", d, 8)[0]
                names.append((d[15:15 + cch * (2 if d[14] & 1 else 1)], itab))
            elif t == 0x00FC:
                sst_total, sst_unique = struct.unpack_from("<II", d, 0)
        n = len(bsheets)
        for nm in bsheets:
            if not 1 <= len(nm) <= 31 or any(c in nm for c in ':\\/?*[]'):
                self.bad(f"sheet name {nm!r} breaks the naming rules")
        if len({nm.upper() for nm in bsheets}) != n:
            self.bad("two sheets share a name")
        if tabid is not None and (len(tabid) != n or len(set(tabid)) != n):
            self.bad(f"TABID has {len(tabid)} ids for {n} sheets")
        for d in supbooks:
            if struct.unpack_from("<H", d, 2)[0] == 0x0401 and struct.unpack_from("<H", d, 0)[0] != n:
                self.bad("self SUPBOOK sheet count is stale")
        for x in xti:
            if x[1] >= 0 and (x[1] >= n or x[2] >= n):
                self.bad(f"XTI {x} beyond the {n} sheets")
        if len(set(names)) != len(names):
            self.bad("a defined name appears twice with the same scope")
        for nm, itab in names:
            if itab > n:
                self.bad("a NAME scoped to a sheet that does not exist")
        win1 = [d for p, t, d in globs if t == 0x003D][0]
        itab_cur = struct.unpack_from("<H", win1, 10)[0]
        selected, labels, dgids, spids, csps, pibs = [], 0, [], [], [], []
        for k, sub in enumerate(sheets):
            rows = {}
            index = None
            dbcells = []
            window_seen = table_after_window = False
            # An embedded chart's substream holds records of cell types (its cached values): only the
            # sheet's own records are its cells and objects; the drawings count all.
            own = own_records(sub)
            if len(sub[0][2]) >= 4 and struct.unpack_from("<H", sub[0][2], 2)[0] == 0x0020:  # a chart sheet
                own = [r for r in own if r[1] not in (0x0201, 0x0203, 0x027E, 0x00FD, 0x0204, 0x0205, 0x0006)]
            for p, t, d in own:
                if t == 0x023E:
                    window_seen = True
                elif window_seen and t in (0x0208, 0x00D7, 0x0201, 0x0203, 0x027E, 0x00FD, 0x0204, 0x0205, 0x0006,
                                           0x00BD, 0x00BE, 0x00D6):
                    table_after_window = True
                if t == 0x023E and struct.unpack_from("<H", d, 0)[0] & 0x0200:
                    selected.append(k)
                if t == 0x00FD:
                    labels += 1
                    isst = struct.unpack_from("<I", d, 6)[0]
                    if sst_unique is not None and isst >= sst_unique:
                        self.bad(f"LABELSST index {isst} beyond the {sst_unique} strings")
                if t in (0x0201, 0x0203, 0x027E, 0x00FD, 0x0204, 0x0205, 0x0006):
                    row, col, xf = struct.unpack_from("<HHH", d, 0)
                    if xf >= xfs:
                        self.bad(f"cell XF {xf} beyond the {xfs} XFs")
                    rows.setdefault(row, []).append(col)
                if t in (0x00BD, 0x00BE):
                    first, last = struct.unpack_from("<H", d, 2)[0], struct.unpack_from("<H", d, len(d) - 2)[0]
                    if last <= first:
                        self.bad("a MULRK/MULBLANK of one cell")
                if t == 0x020B:
                    index = (p, d)
                if t == 0x00D7:
                    dbcells.append(p)
                if t == 0x00EC and len(d) >= 16:
                    pass
            if table_after_window:
                self.bad(f"sheet {k}: cell table after WINDOW2")
            for row, cols in rows.items():
                if cols != sorted(cols) or len(set(cols)) != len(cols):
                    self.bad(f"sheet {k}: cells of row {row} out of order or twice")
            if index is not None:
                p, d = index
                offs = list(struct.unpack_from("<%dI" % ((len(d) - 16) // 4), d, 16))
                if offs != dbcells:
                    self.bad(f"sheet {k}: INDEX lists {offs[:4]}, DBCELLs are at {dbcells[:4]}")
            objs = [struct.unpack_from("<H", d, 6)[0] for p, t, d in own if t == 0x005D and len(d) >= 8]
            if len(set(objs)) != len(objs):
                self.bad(f"sheet {k}: OBJ ids repeat")
            for p, t, d in own:
                if t == 0x001C and len(d) >= 8 and struct.unpack_from("<H", d, 6)[0] not in objs:
                    self.bad(f"sheet {k}: a NOTE points at OBJ {struct.unpack_from('<H', d, 6)[0]}, which is not there")
            drawing = b"".join(d for p, t, d in sub if t == 0x00EC)
            q, dgid = 0, None
            while q + 8 <= len(drawing):
                vi, ty, ln = struct.unpack_from("<HHI", drawing, q)
                if ty == 0xF008:
                    dgid = vi >> 4
                    dgids.append(dgid)
                    csps.append(struct.unpack_from("<I", drawing, q + 8)[0])
                if ty == 0xF00A:
                    spids.append((dgid, struct.unpack_from("<I", drawing, q + 8)[0]))
                if ty == 0xF00B:
                    for n in range(vi >> 4):
                        if q + 8 + 6 * n + 6 > len(drawing):
                            break
                        opid, value = struct.unpack_from("<HI", drawing, q + 8 + 6 * n)
                        if opid & 0x3FFF == 0x0104:
                            pibs.append(value)
                q += 8 if (vi & 0xF) == 0xF else 8 + ln
        if selected != [itab_cur]:
            self.bad(f"selected sheets {selected}, active sheet {itab_cur}")
        if len(set(dgids)) != len(dgids):
            self.bad(f"drawing ids repeat: {dgids}")
        if len({x[1] for x in spids}) != len(spids):
            self.bad("shape ids repeat")
        if group and len(group) >= 24:
            spid_max, cidcl, _, cdg_saved = struct.unpack_from("<IIII", group, 8 + 8)
            clusters = [struct.unpack_from("<II", group, 32 + 8 * k) for k in range(cidcl - 1)]
            if cdg_saved != len(dgids):
                self.bad(f"FDGG counts {cdg_saved} drawings, the sheets hold {len(dgids)}")
            for dgid, spid in spids:
                owners = [k for k, c in enumerate(clusters) if c[0] == dgid]
                if not any((k + 1) * 1024 <= spid < (k + 2) * 1024 for k in owners):
                    self.bad(f"shape id {spid} outside the clusters of drawing {dgid}")
                if spid > spid_max:
                    self.bad(f"shape id {spid} above FDGG spidMax {spid_max}")
        elif dgids:
            self.bad("drawings without a drawing group")
        # Each picture's reference count covers the shapes that show it.
        refs, q = [], 0
        while q + 8 <= len(group):
            vi, ty, ln = struct.unpack_from("<HHI", group, q)
            if ty == 0xF007 and q + 8 + 28 <= len(group):
                refs.append(struct.unpack_from("<I", group, q + 8 + 24)[0])
            q += 8 if (vi & 0xF) == 0xF or ty == 0xF001 else 8 + ln
        for pib in set(pibs):
            if 1 <= pib <= len(refs) and refs[pib - 1] < pibs.count(pib):
                self.bad(f"picture {pib} shown {pibs.count(pib)} times, counted {refs[pib - 1]}")
        if sst_unique is not None and labels != sst_total:
            self.bad(f"SST says {sst_total} references, the sheets hold {labels}")

    def sst(self, globs):
        """The shared string table holds exactly the strings its header counts."""
        chain = []
        for i, (p, t, d) in enumerate(globs):
            if t == 0x00FC:
                chain = [d]
                for p2, t2, d2 in globs[i + 1:]:
                    if t2 != 0x003C:
                        break
                    chain.append(d2)
                break
        if not chain:
            return
        unique = struct.unpack_from("<I", chain[0], 4)[0]
        rec, off, count = 0, 8, 0

        def take(n):
            nonlocal rec, off
            out = b""
            while n:
                while rec < len(chain) and off >= len(chain[rec]):
                    rec, off = rec + 1, 0
                if rec >= len(chain):
                    raise ValueError("SST ends inside a string")
                k = min(n, len(chain[rec]) - off)
                out += chain[rec][off:off + k]
                off += k
                n -= k
            return out

        try:
            while True:
                while rec < len(chain) and off >= len(chain[rec]):
                    rec, off = rec + 1, 0
                if rec >= len(chain):
                    break
                cch, flags = struct.unpack("<HB", take(3))
                runs = struct.unpack("<H", take(2))[0] if flags & 8 else 0
                ext = struct.unpack("<I", take(4))[0] if flags & 4 else 0
                high, left = flags & 1, cch
                while left:
                    if off >= len(chain[rec]):
                        rec, off = rec + 1, 0
                        high = chain[rec][0] & 1
                        off = 1
                    room = (len(chain[rec]) - off) // (2 if high else 1)
                    n = min(left, room)
                    if n == 0:
                        raise ValueError("a character split over two records")
                    off += n * (2 if high else 1)
                    left -= n
                take(runs * 4 + ext)
                count += 1
        except (ValueError, IndexError, struct.error) as e:
            self.bad(f"shared strings: {e}")
        if count != unique:
            self.bad(f"SST says {unique} strings, holds {count}")

    def run(self):
        data = open(self.path, "rb").read()
        streams = self.cfb(data)
        if streams is None:
            return
        book = next((v for k, v in streams.items() if k.lower() == "workbook"), None)
        if book is None:
            self.bad("no Workbook stream")
            return
        if len(book) < 4096:
            self.bad("Workbook stream in the mini stream")
        self.biff(book)


def own_records(sub):
    """A substream's own records, without those of the substreams nested in it."""
    out, depth = [], 0
    for r in sub:
        if r[1] == 0x0809:
            depth += 1
        if depth == 1:
            out.append(r)
        if r[1] == 0x000A:
            depth -= 1
    return out


def main():
    failed = False
    for path in sys.argv[1:]:
        lint = Lint(path)
        try:
            lint.run()
        except Exception as e:  # noqa: BLE001 - a crash of the checker is a finding too
            lint.bad(f"checker stopped: {type(e).__name__}: {e}")
        for problem in lint.problems:
            print(f"{path}: {problem}")
            failed = True
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
