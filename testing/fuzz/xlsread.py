#!/usr/bin/python3
# The independent reader of the workbook fuzz target: reads workbooks from stdin (a 4-byte
# little-endian length, then the file's bytes) and answers each with what the reader sees:
#   sheets <n> / sheet <name> / cell <row> <col> <type> <bold> <text> / end
# (rows and columns from 0). Texts go back as cp1251 bytes, a character with no cp1251 form as
# its low byte, with \, tab, CR and LF escaped; a workbook it cannot read gives "error <why>".
import struct
import sys

import xlrd


def cp1251(s):
    out = bytearray()
    for ch in s:
        try:
            out += ch.encode("cp1251")
        except UnicodeEncodeError:
            out.append(ord(ch) & 0xFF)
    return bytes(out).replace(b"\\", b"\\\\").replace(b"\t", b"\\t").replace(b"\r", b"\\r").replace(b"\n", b"\\n")


def dump(data):
    lines = []
    try:
        book = xlrd.open_workbook(file_contents=data, formatting_info=True)
        lines.append(b"sheets %d" % book.nsheets)
        for sh in book.sheets():
            lines.append(b"sheet " + cp1251(sh.name))
            for r in range(sh.nrows):
                for c in range(sh.row_len(r)):
                    cell = sh.cell(r, c)
                    if cell.ctype == xlrd.XL_CELL_EMPTY:
                        continue
                    xf = book.xf_list[cell.xf_index]
                    bold = 1 if book.font_list[xf.font_index].bold else 0
                    text = cell.value if isinstance(cell.value, str) else repr(cell.value)
                    lines.append(b"cell %d %d %d %d " % (r, c, cell.ctype, bold) + cp1251(text))
    except Exception as e:
        lines.append(b"error " + cp1251(repr(e)))
    return b"\n".join(lines) + b"\nend\n"


def main():
    src, dst = sys.stdin.buffer, sys.stdout.buffer
    while True:
        head = src.read(4)
        if len(head) < 4:
            return
        (n,) = struct.unpack("<I", head)
        dst.write(dump(src.read(n)))
        dst.flush()


main()
