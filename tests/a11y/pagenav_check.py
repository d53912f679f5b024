"""Every page where it was left, the pages' names, Find next, Replace and Redo, as a screen
reader sees them, driven by keys alone.

Run by pagenav_test.sh: argv is the program's folder, its pid, the dump folder and the phase:
"first" (the first run) or "restart" (the run after it, on the same folder).
"""
import os
import subprocess
import sys

import pyatspi

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from atspi_support import Program, key, text_of, type_text, walk  # noqa: E402

APP_DIR, APP_PID, DUMP_DIR, PHASE = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
qly = Program(APP_DIR, APP_PID, DUMP_DIR)
failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message, flush=True)


def passed(message):
    print("PASS: " + message, flush=True)


main = qly.window("Quillery", "frame")


def editor():
    return qly.editor(main)


def on_page(letter):
    qly.wait_for(lambda: editor().name == "Page " + letter, "the editor on page " + letter)


def caret():
    return editor().queryText().caretOffset


def length():
    return editor().queryText().characterCount


def windows_shown():
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname", "^qly$"],
                           capture_output=True, text=True).stdout.split()
    return len(found)


def describe(acc):
    return "%s %r" % (acc.getRoleName(), acc.name) if acc is not None else "nothing"


def in_page():
    qly.wait_for(lambda: editor().getState().contains(pyatspi.STATE_FOCUSED), "the focus in the page",
                 detail=lambda: "the focus is on " + describe(qly.focused(main)))


if PHASE == "first":
    # The caret at the end of page A's 300 lines; away to B and back: it is still there.
    on_page("A")
    in_page()
    key("ctrl+End")
    qly.wait_for(lambda: caret() == length(), "the caret at the end of A")
    end = caret()
    key("ctrl+Next")
    on_page("B")
    if caret() != 0:
        fail("page B, shown for the first time, opens at %d, not its top" % caret())
    key("ctrl+Prior")
    on_page("A")
    qly.wait_for(lambda: caret() == end, "the caret back at the end of A (it is at %d)" % caret())
    type_text("MARK")
    key("ctrl+Next")
    on_page("B")
    qly.wait_for(lambda: 0 <= qly.page_file("A").rfind("line 300 of page A") <
                 qly.page_file("A").rfind("MARK"), "MARK at the end of A's file")
    passed("Ctrl+PgDn, Ctrl+PgUp: the caret stays at the end of A; MARK goes there")

    # The selector's list names the pages by their first lines; the closed one shows the letter.
    key("shift+Tab", "shift+Tab", "shift+Tab", "shift+Tab")
    combo = qly.wait_for(lambda: qly.focused(main) if qly.focused(main).getRoleName() ==
                         "combo box" else None, "the focus on the page selector")
    key("alt+Down")
    item = qly.wait_for(lambda: next((a for a, _ in walk(combo) if a.getRoleName() == "list item"
                                      and a.name.startswith("C")), None), "the list's entries")
    names = [a.name for a, _ in walk(combo) if a.getRoleName() == "list item"]
    print("the list: %r" % names[:4], flush=True)
    if "B  first line of B" not in names or "C  Kiwi notes" not in names or "E" not in names:
        fail("the list names %r" % names[:6])
    else:
        passed("the selector's list shows \"B  first line of B\"")
    key("Escape")
    qly.wait_for(lambda: windows_shown() == 1, "the list closed",
                 detail=lambda: "%d windows" % windows_shown())
    if combo.name != "B":
        fail("the closed selector shows %r, not the letter" % combo.name)
    key("Tab", "Tab", "Tab", "Tab")
    in_page()

    # Find "kiwi": C twice, G once. Enter opens C on its first match; F3 goes on, wrapping.
    key("ctrl+f")
    find = qly.window("Find", "dialog")
    type_text("kiwi")
    key("Return")
    qly.wait_for(lambda: qly.focused(find) is not None and
                 qly.focused(find).getRoleName() in ("list", "list item"), "the list of hits")
    key("Return")
    on_page("C")
    c_text = text_of(editor())
    c_hits = [i for i in range(len(c_text)) if c_text.lower().startswith("kiwi", i)]
    qly.wait_for(lambda: caret() == c_hits[0] + 4, "Find selecting C's first kiwi")
    for page, at in [("C", c_hits[1]), ("G", 2), ("C", c_hits[0])]:
        key("F3")
        on_page(page)
        qly.wait_for(lambda: caret() == at + 4, "F3: the caret after the match at %d on %s "
                     "(it is at %d)" % (at, page, caret()))
        t = editor().queryText()
        start, stop = t.getSelection(0)
        if t.getText(start, stop).lower() != "kiwi":
            fail("F3 on %s selects %r" % (page, t.getText(start, stop)))
        if page == "G" and "match 1 of 1 on G" not in editor().description:
            fail("the page's description says %r" % editor().description)
    passed("F3 three times: C's second kiwi, G's, C's first again (wrapped)")

    # Replace All on page D, one undo step; Redo brings it back; typed text too.
    key("ctrl+Next", "ctrl+Next")
    on_page("E")
    key("ctrl+Prior")
    on_page("D")
    before = text_of(editor())
    key("ctrl+h")
    replace = qly.window("Replace", "dialog")
    unnamed = [a.getRoleName() for a, _ in walk(replace)
               if a.getRoleName() in ("push button", "check box", "text") and not a.name.strip()]
    if unnamed:
        fail("Replace has unnamed controls: %r" % unnamed)
    type_text("cat")
    key("alt+p")
    type_text("dog")
    key("alt+a")
    status = qly.wait_for(lambda: next((a for a, _ in walk(replace) if a.getRoleName() == "label"
                                        and "replaced" in a.name), None), "Replace All's result")
    if status.name != "3 replaced":
        fail("Replace All says %r" % status.name)
    key("Escape")
    in_page()
    qly.wait_for(lambda: text_of(editor()).count("dog") == 3 and "cat" not in text_of(editor()),
                 "three dogs on D")
    key("ctrl+z")
    qly.wait_for(lambda: text_of(editor()) == before, "one Ctrl+Z bringing the three cats back")
    passed("Replace All: 3 replaced, one Ctrl+Z brings all 3 back")
    key("ctrl+End")
    type_text(" typed words")
    key("ctrl+z")
    qly.wait_for(lambda: "typed words" not in text_of(editor()), "Undo taking the typing")
    key("ctrl+y")
    qly.wait_for(lambda: text_of(editor()).endswith(" typed words"), "Ctrl+Y bringing it back")
    key("ctrl+z")
    qly.wait_for(lambda: "typed words" not in text_of(editor()), "Undo again")
    key("ctrl+shift+z")
    qly.wait_for(lambda: text_of(editor()).endswith(" typed words"), "Ctrl+Shift+Z too")
    passed("Redo (Ctrl+Y, Ctrl+Shift+Z) after Undo restores the typed text")
    # The program ends on page A with its caret at the end, for the restart.
    for _ in range(3):
        key("ctrl+Prior")
    on_page("A")
    qly.wait_for(lambda: caret() == length(), "the caret at the end of A before the restart")
else:
    on_page("A")
    in_page()
    qly.wait_for(lambda: caret() == length(), "the caret at the end of A after the restart "
                 "(it is at %d of %d)" % (caret(), length()))
    type_text("MARK2")
    key("ctrl+Next")
    on_page("B")
    qly.wait_for(lambda: 0 <= qly.page_file("A").rfind("line 300 of page A") <
                 qly.page_file("A").rfind("MARKMARK2"), "MARK2 at the end of A's file")
    passed("after a restart the caret is still at the end of A; MARK2 goes there")

sys.exit(1 if failures else 0)
