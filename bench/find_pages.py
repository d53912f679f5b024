#!/usr/bin/env python3
"""Makes larger page files from LibreOffice's: find_pages.py SRC DST COUNT

Each page of DST is the header of its page in SRC followed by the bodies of COUNT pages of
SRC (its own, then the next letters but Z); page Z ends with Z's own body, which holds the
word searched for near its end. The text and the writer's token mix stay LibreOffice's."""
import os
import sys

LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"


def split(rtf):
    """The header (up to the first \\pard at the document's top level) and the body (to the
    document's last closing brace)."""
    depth, i, n = 0, 0, len(rtf)
    while i < n:
        c = rtf[i]
        if c == 0x5C:  # a backslash: a control word or an escaped character
            if rtf.startswith(b"\\pard", i) and depth == 1 and not rtf[i + 5:i + 6].isalpha():
                break
            i += 2
            continue
        if c == 0x7B:
            depth += 1
        elif c == 0x7D:
            depth -= 1
        i += 1
    end = rtf.rstrip().rfind(b"}")
    return rtf[:i], rtf[i:end]


def main(src, dst, count):
    pages = {}
    for letter in LETTERS:
        with open(os.path.join(src, letter + ".rtf"), "rb") as f:
            pages[letter] = split(f.read())
    others = [x for x in LETTERS if x != "Z"]
    os.makedirs(dst, exist_ok=True)
    for n, letter in enumerate(LETTERS):
        if letter == "Z":
            bodies = [others[(n + k) % len(others)] for k in range(count - 1)] + ["Z"]
        else:
            bodies = [others[(n + k) % len(others)] for k in range(count)]
        with open(os.path.join(dst, letter + ".rtf"), "wb") as f:
            f.write(pages[letter][0])
            for b in bodies:
                f.write(pages[b][1])
            f.write(b"}\n")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], int(sys.argv[3]))
