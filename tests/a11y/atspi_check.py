"""What a screen reader sees of Quillery, and the program driven by keys alone.

Run by a11y_test.sh inside a session bus with the accessibility bus and an X session; the
program runs from the folder given as the first argument, with pid the second. Dumps the tree
of each window to the folder given third, and fails on an interactive control without a name.
"""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

APP_DIR, APP_PID, DUMP_DIR = sys.argv[1], int(sys.argv[2]), sys.argv[3]

# Roles a user acts on: each needs a name a screen reader can say.
INTERACTIVE = {
    "push button", "toggle button", "check box", "radio button", "combo box", "text", "entry",
    "password text", "spin button", "list", "list box", "tree", "tree table", "table", "slider",
    "page tab", "menu item", "check menu item", "radio menu item", "menu",
}
failures = []
counts = {}
# Name and value changes that reach a screen reader, as (event type, source name, new text).
events = []


def heard(event):
    try:
        events.append((event.type, event.source.name, str(event.any_data)))
    except Exception:
        pass


pyatspi.Registry.registerEventListener(heard, "object:property-change:accessible-name",
                                       "object:property-change:accessible-value",
                                       "object:text-changed:insert")


def fail(message):
    failures.append(message)
    print("FAIL: " + message, flush=True)


def wait_for(condition, what, seconds=10):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        while GLib.MainContext.default().iteration(False):  # deliver the events heard
            pass
        try:
            value = condition()
        except Exception:  # a window closing while it is asked about
            value = None
        if value:
            return value
        time.sleep(0.05)
    subprocess.run(["import", "-window", "root", os.path.join(DUMP_DIR, "timeout.png")])
    raise SystemExit("FAIL: timed out waiting for " + what)


def app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        if a is not None and a.get_process_id() == APP_PID:
            return a
    return None


def windows():
    a = app()
    return [a.getChildAtIndex(i) for i in range(a.childCount)] if a else []


def window(name, role=None):
    def find():
        for w in windows():
            if w.name == name and w.getState().contains(pyatspi.STATE_SHOWING):
                if role is None or w.getRoleName() == role:
                    return w
        return None
    return wait_for(find, "window " + name)


def walk(acc, depth=0):
    yield acc, depth
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "20", *keys], check=True)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "10", text], check=True)


def visible_windows():
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname", "^qly$"],
                           capture_output=True, text=True).stdout.split()
    return len(found)


def focused(win):
    for acc, _ in walk(win):
        if acc.getState().contains(pyatspi.STATE_FOCUSED):
            return acc
    return None


def check_names(win, label):
    """Dumps the window's tree; every showing interactive control must have a name."""
    named = total = 0
    lines = []
    names[label] = set()
    for acc, depth in walk(win):
        role, name, states = acc.getRoleName(), acc.name, acc.getState()
        names[label].add((role, name))
        lines.append("%s%s %r%s" % ("  " * depth, role, name,
                                     " focusable" if states.contains(pyatspi.STATE_FOCUSABLE) else ""))
        # Menus and their items are checked when they show; rows in a list are named by text.
        if role in INTERACTIVE and states.contains(pyatspi.STATE_SHOWING) and depth > 0:
            parent = acc.parent
            if parent is not None and parent.getRoleName() in ("list", "list box", "tree", "combo box", "menu"):
                if role in ("menu item",) and not name:
                    pass
                elif role not in ("menu item", "check menu item", "radio menu item", "menu"):
                    continue
            total += 1
            if role == "combo box":
                name = labelled_by(acc)  # its own name is its value
            elif not name.strip():
                name = labelled_by(acc)
            if name.strip():
                named += 1
            else:
                fail("%s: %s without a name (%s)" % (label, role, "/".join(
                    a.getRoleName() for a in ancestors(acc))))
    with open(os.path.join(DUMP_DIR, label.replace(" ", "-") + ".txt"), "w") as out:
        out.write("\n".join(lines) + "\n")
    counts[label] = (named, total)
    print("%s: %d of %d interactive controls named" % (label, named, total), flush=True)
    if win.getRoleName() in ("filler", "panel") and label != "Go Mobile":
        fail("%s reports the role %s" % (label, win.getRoleName()))


names = {}


def labelled_by(acc):
    for relation in acc.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return " ".join(relation.getTarget(i).name for i in range(relation.getNTargets()))
    return ""


def ancestors(acc):
    chain = []
    while acc is not None and acc.getRoleName() != "application":
        chain.insert(0, acc)
        acc = acc.parent
    return chain


def describe(acc):
    return "%s %r" % (acc.getRoleName(), acc.name) if acc is not None else "nothing"


def page_file(letter):
    path = os.path.join(APP_DIR, "rtf", letter + ".rtf")
    return open(path, "rb").read().decode("latin-1") if os.path.exists(path) else ""


def editor_of(main):
    return wait_for(lambda: next((a for a, _ in walk(main) if a.getRoleName() == "text"
                                  and a.name.startswith("Page ")), None), "the page editor")


# The main window: named controls, the page named in the editor.
main = window("Quillery", "frame")
check_names(main, "main window")
editor = editor_of(main)
if editor.name != "Page A":
    fail("editor named %r, not 'Page A'" % editor.name)
wait_for(lambda: focused(main) is not None and focused(main).getRoleName() == "text", "page focus")

# Title buttons by Tab: Shift+Tab from the page reaches Close, then the others in turn.
key("shift+Tab")
wait_for(lambda: focused(main).name == "Close", "focus on Close")
for name in ("Minimize", "Next page", "A", "Previous page", "Main menu"):
    key("shift+Tab")
    wait_for(lambda: focused(main) is not None and focused(main).name == name,
             "focus on %s (it is on %s)" % (name, describe(focused(main))))
key("Tab", "Tab", "Tab", "Tab", "Tab", "Tab")
wait_for(lambda: focused(main).getRoleName() == "text", "focus back in the page")
print("PASS: Tab and Shift+Tab reach every title button", flush=True)

# Page switching by keys: what was typed is saved, the editor names the new page.
type_text("kiwi one")
key("ctrl+Next")
wait_for(lambda: editor_of(main).name == "Page B", "the editor named Page B")
wait_for(lambda: "kiwi one" in page_file("A"), "page A saved with its text")
key("ctrl+Prior")
wait_for(lambda: editor_of(main).name == "Page A", "back to Page A")
key("ctrl+Next")
wait_for(lambda: editor_of(main).name == "Page B", "Page B again")
print("PASS: Ctrl+PgDn and Ctrl+PgUp switch pages and the page is named", flush=True)

# An alignment from the menu, by keys: F10, Format, its submenu, Align Center.
type_text("centred")
key("F10")
# Menus are popups, which Qt keeps out of the tree: they are found as X windows.
wait_for(lambda: visible_windows() >= 2, "the main menu")
key("Down", "Down", "Right")
wait_for(lambda: visible_windows() >= 3, "the Format menu")
key("Down", "Down", "Down", "Return")
key("ctrl+Prior")
wait_for(lambda: editor_of(main).name == "Page A", "Page A after the alignment")
wait_for(lambda: "\\qc" in page_file("B") and "centred" in page_file("B"),
         "page B saved centred")
print("PASS: F10, Format, Align Center by keys centres the paragraph", flush=True)

# Find by keys: Ctrl+F, the text, Enter searches; the list takes the focus with the count;
# Enter opens the page with the match selected.
key("ctrl+Next")
wait_for(lambda: editor_of(main).name == "Page B", "Page B before Find")
key("ctrl+f")
find = window("Find", "dialog")
type_text("kiwi")
key("Return")
hits = wait_for(lambda: next((a for a, _ in walk(find) if a.getRoleName() in ("label", "status bar")
                              and "found" in a.name), None), "the hit count")
print("find announces: " + hits.name, flush=True)
wait_for(lambda: focused(find) is not None and focused(find).getRoleName() in ("list", "list item"),
         "focus on the list of hits")
check_names(find, "Find")
key("Return")
wait_for(lambda: editor_of(main).name == "Page A", "Find opened page A")
text = editor_of(main).queryText()
start, end = text.getSelection(0)
if text.getText(start, end) != "kiwi":
    fail("after Find the selection is %r, not the match" % text.getText(start, end))
else:
    print("PASS: Find by keys opens page A with the match selected", flush=True)


def dialog_by_keys(keys, title, label, menu=False):
    # The keys go to the main window once it has the focus back; Esc closes what they open.
    wait_for(lambda: focused(main) is not None and focused(main).getRoleName() == "text",
             "page focus before " + label)
    if menu:
        key("F10")
        wait_for(lambda: visible_windows() >= 2, "the main menu for " + label)
    key(*keys)
    check_names(window(title), label)
    key("Escape")
    wait_for(lambda: not any(w.name == title and w.getState().contains(pyatspi.STATE_SHOWING)
                             for w in windows()), label + " closing on Esc")


dialog_by_keys(("ctrl+p",), "Print preview", "Print preview")
dialog_by_keys(("Up", "Up", "Up", "Return"), "Options", "Options", menu=True)
for control in (("check box", "Check spelling as you type"), ("check box", "Skip words in capitals"),
                ("list", "Languages")):
    if control not in names["Options"]:
        fail("Options: no %s named %r" % control)
print("PASS: the spelling controls of Options are named", flush=True)
dialog_by_keys(("Up", "Return"), "About Quillery", "About", menu=True)
dialog_by_keys(("F1",), "Quillery Help", "Help")

# Go Mobile by keys: the menu, Enter copies to the stick, "Copy complete" is heard.
STICK = os.environ.get("QLY_STICK", "")
if STICK:
    wait_for(lambda: focused(main) is not None and focused(main).getRoleName() == "text",
             "page focus before Go Mobile")
    key("F10")
    wait_for(lambda: visible_windows() >= 2, "the main menu for Go Mobile")
    key("Return")
    wait_for(lambda: visible_windows() >= 3, "the Note menu")
    key("g")
    mobile = window("Go Mobile")
    del events[:]
    key("Return")
    wait_for(lambda: os.path.exists(os.path.join(STICK, "Quillery", "rtf", "A.rtf")),
             "the pages on the stick")
    wait_for(lambda: any("Copy complete" in name or "Copy complete" in text
                         for _, name, text in events), "'Copy complete' heard")
    print("PASS: Go Mobile copies by Enter and 'Copy complete' reaches the screen reader",
          flush=True)
    check_names(mobile, "Go Mobile")
    key("Escape")
    wait_for(lambda: not any(w.name == "Go Mobile" and w.getState().contains(pyatspi.STATE_SHOWING)
                             for w in windows()), "Go Mobile closing")
else:
    print("SKIP: Go Mobile's copy needs a stick (root and a mount namespace)", flush=True)

# The floating button: the title bar's Minimize by keys, the button named and focused, Enter
# brings the window back with the focus in the page.
wait_for(lambda: focused(main) is not None and focused(main).getRoleName() == "text", "page focus")
key("shift+Tab", "shift+Tab")
wait_for(lambda: focused(main) is not None and focused(main).name == "Minimize", "focus on Minimize")
key("space")
floating = wait_for(lambda: next((w for w in windows() if w.getState().contains(pyatspi.STATE_SHOWING)
                                  and any(a.name == "Restore Quillery" for a, _ in walk(w))), None),
                    "the floating button")
check_names(floating, "floating button")
wait_for(lambda: focused(floating) is not None and focused(floating).name == "Restore Quillery",
         "focus on Restore")
key("Return")
main = window("Quillery", "frame")
wait_for(lambda: focused(main) is not None and focused(main).getRoleName() == "text",
         "the page focused after the restore")
print("PASS: the floating button is named, holds the focus, and Enter restores", flush=True)

named = sum(n for n, _ in counts.values())
total = sum(t for _, t in counts.values())
print("all windows: %d of %d interactive controls named (%.0f%%)" % (named, total,
                                                                     100.0 * named / max(total, 1)))
sys.exit(1 if failures else 0)
