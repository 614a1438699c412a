"""The records of a BIFF stream, for the test scripts that take a Workbook stream apart."""
import struct

import olefile


def workbook_stream(path):
    """The bytes of a workbook file's Workbook stream."""
    with olefile.OleFileIO(path) as ole:
        return ole.openstream("Workbook").read()


def records(stream):
    """Each record as [type, data], up to the end of the stream or a record of type and size 0."""
    out, p = [], 0
    while p + 4 <= len(stream):
        t, n = struct.unpack_from("<HH", stream, p)
        if t == 0 and n == 0:
            break
        out.append([t, bytes(stream[p + 4:p + 4 + n])])
        p += 4 + n
    return out
