#!/usr/bin/env python3
"""Writes hostile pages: small files that once cost the program seconds and gigabytes.

make_hostile.py KIND OUT
  jpeg20, jpeg100  20 / 100 JPEGs whose headers claim 5700 x 5700 pixels
  wmf1000          1000 metafile frames at the largest size a picture may have
  png4             four 5600 x 5600 PNGs
  edges1000, edges3000, edges10000
                   table rows whose first cell ends at 100 + row, the second at 120000
  rows10000        an ordinary table: 10,000 rows of four cells
  cells500         500 rows of 63 cells
Pictures are drawn by ImageMagick (`convert`)."""
import subprocess
import sys
import zlib
import struct


def magick(args):
    return subprocess.run(["convert"] + args, check=True, capture_output=True).stdout


def claimed_jpeg(w, h):
    data = bytearray(magick(["-size", "16x16", "xc:#3a7", "-quality", "80", "jpg:-"]))
    sof = data.index(b"\xff\xc0")
    data[sof + 5:sof + 9] = struct.pack(">HH", h, w)
    return bytes(data)


def big_png(w, h):
    # Rows of a few colours, compressed as PNG does: about a quarter of a megabyte each.
    rows = []
    for y in range(h):
        shade = (y * 7) % 256
        rows.append(b"\x00" + bytes([shade, 255 - shade, (y // 3) % 256]) * w)
    raw = zlib.compress(b"".join(rows), 9)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", raw) + chunk(b"IEND", b""))


def pict(kind, data, goal=""):
    return "{\\pict%s\\%s %s}" % (goal, kind, data.hex())


def page(body):
    return "{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Sans;}}\\f0\\fs20 " + body + "\\par}"


def table(rows):
    out = []
    for r, (edges, texts) in enumerate(rows):
        out.append("\\trowd" + "".join("\\cellx%d" % e for e in edges) + "\\pard\\intbl " +
                   "".join("%s\\cell " % t for t in texts) + "\\row\n")
    return "".join(out) + "\\pard "


def main():
    kind, out = sys.argv[1], sys.argv[2]
    if kind in ("jpeg20", "jpeg100"):
        jpeg = claimed_jpeg(5700, 5700)
        n = int(kind[4:])
        body = "".join("picture %d " % i + pict("jpegblip", jpeg) for i in range(n))
    elif kind == "wmf1000":
        wmf = bytes.fromhex("0100090000036e00000000004500000000000500")
        goal = "\\picw55880\\pich55880\\picwgoal31680\\pichgoal31680"
        body = "".join("frame %d " % i + pict("wmetafile8", wmf, goal) for i in range(1000))
    elif kind == "png4":
        png = big_png(5600, 5600)
        body = "".join("picture %d " % i + pict("pngblip", png) + "\\par " for i in range(4))
    elif kind.startswith("edges"):
        n = int(kind[5:])
        body = table([([100 + r, 120000], ["row %d" % r, "end"]) for r in range(n)])
    elif kind == "rows10000":
        body = table([([1500, 3000, 4500, 6000], ["r%d a" % r, "b", "c", "d"])
                      for r in range(10000)])
    elif kind == "cells500":
        body = table([([150 * (c + 1) for c in range(63)], ["%d.%d" % (r, c) for c in range(63)])
                      for r in range(500)])
    else:
        sys.exit("unknown kind " + kind)
    with open(out, "w") as f:
        f.write(page(body))


main()
