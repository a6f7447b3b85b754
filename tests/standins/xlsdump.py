#!/usr/bin/python3
# Dumps an .xls workbook as the independent reader sees it, for the export tests to compare:
#   sheets <n>
#   sheet <name>
#   size <rows> <cols>
#   width <col> <units>            (one line per column with a width of its own)
#   cell <row> <col> <type> <bold> <format>|<text>    (rows and columns from 0)
#   end
# Texts are written in cp1251 with \, tab and line ends escaped.
import sys
import xlrd


def esc(s):
    return s.replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r").replace("\n", "\\n")


def main():
    src, dst = sys.argv[1], sys.argv[2]
    lines = []
    try:
        book = xlrd.open_workbook(src, formatting_info=True)
        lines.append("sheets %d" % book.nsheets)
        for sh in book.sheets():
            lines.append("sheet " + esc(sh.name))
            lines.append("size %d %d" % (sh.nrows, sh.ncols))
            for c in sorted(sh.colinfo_map):
                lines.append("width %d %d" % (c, sh.colinfo_map[c].width))
            for r in range(sh.nrows):
                for c in range(sh.row_len(r)):
                    cell = sh.cell(r, c)
                    if cell.ctype == xlrd.XL_CELL_EMPTY:
                        continue
                    xf = book.xf_list[cell.xf_index]
                    bold = 1 if book.font_list[xf.font_index].bold else 0
                    fmt = book.format_map[xf.format_key].format_str
                    value = cell.value if isinstance(cell.value, str) else repr(cell.value)
                    lines.append("cell %d %d %d %d %s|%s" % (r, c, cell.ctype, bold, fmt, esc(value)))
    except Exception as e:  # the test shows what went wrong
        lines.append("error " + esc(repr(e)))
    with open(dst + ".part", "wb") as f:
        f.write(("\n".join(lines) + "\nend\n").encode("cp1251", errors="replace"))
    import os
    os.replace(dst + ".part", dst)


main()
