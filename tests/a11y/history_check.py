"""Page C has a Syncthing conflict copy: the notice, the mark in the page list and the page's
history as a screen reader sees them, and Restore of the other text, by keys alone.

Run by tests/x11/syncthing_history_test.sh: argv is the program's folder, its pid and the
dump folder. The program shows page D; page C holds the text typed at home and its conflict
copy the laptop's.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from atspi_support import Program, key, text_of, walk  # noqa: E402

APP_DIR, APP_PID, DUMP_DIR = sys.argv[1], int(sys.argv[2]), sys.argv[3]
qly = Program(APP_DIR, APP_PID, DUMP_DIR)
OURS, THEIRS = "bread at home", "pears from the laptop"


def passed(message):
    print("PASS: " + message, flush=True)


def named(root, role, start):
    return next((a for a, _ in walk(root) if a.getRoleName() == role and a.name.startswith(start)),
                None)


main = qly.window("Quillery", "frame")
notice = qly.wait_for(lambda: next((a for a, _ in walk(main)
                                    if a.name.startswith("Page C has a conflict copy")), None),
                      "the notice naming page C")
if "Syncthing" not in notice.name:
    raise SystemExit("FAIL: the notice says %r" % notice.name)
passed("the notice says %r" % notice.name)

# The page list marks page C.
key("shift+Tab", "shift+Tab", "shift+Tab", "shift+Tab")
combo = qly.wait_for(lambda: qly.focused(main) if qly.focused(main).getRoleName() == "combo box"
                     else None, "the focus on the page selector")
key("alt+Down")
entry = qly.wait_for(lambda: named(combo, "list item", "C "), "page C in the list")
if "conflict copy" not in entry.name:
    raise SystemExit("FAIL: the list names page C %r" % entry.name)
passed("the page list names page C %r" % entry.name)
key("Escape")

# To page C, and its history.
key("ctrl+Prior")
qly.wait_for(lambda: qly.editor(main).name == "Page C", "the editor on page C")
key("ctrl+shift+h")
history = qly.window("Page history", "dialog")
table = qly.wait_for(lambda: next((a for a, _ in walk(history)
                                   if a.name == "Copies of page C" and a.childCount > 0), None),
                     "the list of copies",
                     detail=lambda: repr([(a.getRoleName(), a.name) for a, _ in walk(history)]))
cells = qly.wait_for(lambda: [a.name for a, _ in walk(table) if a is not table] or None,
                     "the copies' rows")
# First lines are cut at 30 characters.
if not any("apples and bread" in c for c in cells) or not any("pears from" in c for c in cells):
    raise SystemExit("FAIL: the history lists %r" % cells)
passed("the history lists both texts: %r" % [c for c in cells if "Shopping" in c])

# The laptop's copy, chosen by keys, shows in the preview; Restore puts it in the page.
preview = qly.wait_for(lambda: named(history, "text", "Preview"), "the preview")
key("alt+c", "Home")
for _ in range(8):
    if THEIRS in text_of(preview):
        break
    key("Down")
    qly.wait_for(lambda: text_of(preview).strip() != "", "the preview filled")
qly.wait_for(lambda: THEIRS in text_of(preview), "the laptop's text in the preview",
             detail=lambda: text_of(preview))
passed("the preview shows the laptop's text")
key("alt+r")
qly.wait_for(lambda: THEIRS in qly.page_file("C"), "the laptop's text in page C's file")
key("Escape")
editor = qly.editor(main)
qly.wait_for(lambda: THEIRS in text_of(editor), "the laptop's text in the page",
             detail=lambda: text_of(editor))
backup = os.path.join(APP_DIR, "backup", "C.1.rtf")
if OURS not in open(backup, encoding="latin-1").read():
    raise SystemExit("FAIL: the page before the restore is not the newest version")
passed("Restore put the laptop's text in page C; the text typed at home is version 1")
