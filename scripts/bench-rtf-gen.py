#!/usr/bin/env python3
"""Writes an HTML page of N formatted paragraphs (Latin, Cyrillic, Greek and CJK words; bold,
italic, underline, colours, highlight, fonts, sizes, alignment) for LibreOffice to turn into
the RTF benchmark files. Usage: bench-rtf-gen.py PARAGRAPHS OUT.html"""
import random, sys

random.seed(7)
LAT = "the quick brown fox jumps over lazy dog notes page café naïve résumé déjà vu".split()
CYR = "Привет мир заметки страница текст русский язык".split()
GR = "Ελληνικά κείμενο σελίδα σημειώσεις".split()
CJK = ["日本語", "中文", "한국어", "文字", "頁面"]

def para():
    parts = []
    for _ in range(random.randint(8, 20)):
        pool = random.choice([LAT] * 6 + [CYR, GR, CJK])
        w = " ".join(random.choice(pool) for _ in range(random.randint(2, 8)))
        k = random.randint(0, 9)
        if k == 0: w = "<b>%s</b>" % w
        elif k == 1: w = "<i>%s</i>" % w
        elif k == 2: w = '<span style="color:#%06x">%s</span>' % (random.randint(0, 0xFFFFFF), w)
        elif k == 3: w = '<span style="background:#ffff00">%s</span>' % w
        elif k == 4: w = '<span style="font-family:\'DejaVu Serif\'; font-size:%dpt">%s</span>' % (random.choice([9, 11, 14, 18]), w)
        elif k == 5: w = "<u>%s</u>" % w
        parts.append(w)
    align = random.choice(["left", "left", "left", "center", "right", "justify"])
    return '<p style="text-align:%s">%s</p>\n' % (align, " ".join(parts))

n = int(sys.argv[1])
with open(sys.argv[2], "w", encoding="utf-8") as f:
    f.write('<!DOCTYPE html><html><head><meta charset="utf-8"></head><body>\n')
    for _ in range(n):
        f.write(para())
    f.write("</body></html>\n")
