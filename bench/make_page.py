#!/usr/bin/env python3
"""Writes the test pages of the large-page benchmarks.

make_page.py text SIZE SEED   about SIZE bytes of varied words in lines (plain text)
make_page.py log SIZE         a pasted log: numbered lines of about SIZE bytes (plain text)
make_page.py runs COUNT       RTF: one paragraph of COUNT runs, alternately bold and plain
The plain texts are turned into pages by `qly-rtf convert`, Quillery's own writer."""
import random
import sys

WORDS = "note page quill ink letter idea plan list meeting call remember buy write read".split()


def text(size, seed):
    rnd = random.Random(seed)
    out, n = [], 0
    while n < size:
        line = " ".join(rnd.choice(WORDS) for _ in range(rnd.randint(4, 14)))
        out.append(line)
        n += len(line) + 1
    return "\n".join(out) + "\n"


def log(size):
    rnd = random.Random(11)
    out, n, i = [], 0, 0
    while n < size:
        i += 1
        line = "2026-12-07 23:%02d:%02d.%03d [worker-%d] %s %s id=%08x took %d ms" % (
            (i // 60000) % 60, (i // 1000) % 60, i % 1000, rnd.randint(1, 8),
            rnd.choice(["INFO", "WARN", "DEBUG", "ERROR"]),
            " ".join(rnd.choice(WORDS) for _ in range(rnd.randint(3, 9))),
            rnd.getrandbits(32), rnd.randint(1, 900))
        out.append(line)
        n += len(line) + 1
    return "\n".join(out) + "\n"


def runs(count):
    body = []
    for i in range(count // 2):
        body.append("\\b %s\\b0 %s" % ("abcdefghij"[i % 10], "klmnopqrst"[i % 10]))
    return ("{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fnil\\fcharset0 Sans Serif;}}\n"
            "{\\colortbl ;}\n\\pard\\fs20 " + "".join(body) + "\\par\n}")


if __name__ == "__main__":
    kind = sys.argv[1]
    if kind == "text":
        sys.stdout.write(text(int(sys.argv[2]), int(sys.argv[3])))
    elif kind == "log":
        sys.stdout.write(log(int(sys.argv[2])))
    elif kind == "runs":
        sys.stdout.write(runs(int(sys.argv[2])))
    else:
        sys.exit(__doc__)
