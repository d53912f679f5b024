"""What Orca says of Quillery, read from its debug log, the program driven by keys alone.

Run by orca_test.sh: argv is the program's folder, its pid, the dump folder and Orca's log.
"""
import os
import re
import subprocess
import sys

import pyatspi

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from atspi_support import Program, key  # noqa: E402

APP_DIR, APP_PID, DUMP_DIR, LOG = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
qly = Program(APP_DIR, APP_PID, DUMP_DIR)
SPOKEN = re.compile(r"SPEECH OUTPUT: '(.*?)'(?: voice=\S+)?\s*\{")


class Speech:
    """What Orca has said since the last mark."""

    def __init__(self):
        self.offset = 0

    def mark(self):
        self.offset = os.path.getsize(LOG)

    def since(self):
        with open(LOG, "rb") as log:
            log.seek(self.offset)
            text = log.read().decode("utf-8", "replace")
        return [m.group(1) for m in SPOKEN.finditer(text)]

    def heard(self, wanted, what):
        """The first utterance since the mark that holds `wanted`; fails when none comes."""
        found = qly.wait_for(lambda: next((s for s in self.since() if wanted in s), None),
                             "Orca saying " + what, detail=lambda: "Orca said %r" % self.since())
        print("heard: %r" % found, flush=True)
        return found


speech = Speech()


def passed(message):
    print("PASS: " + message, flush=True)


def windows_shown():
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname", "^qly$"],
                           capture_output=True, text=True).stdout.split()
    return len(found)


def page_focused(main):
    qly.wait_for(lambda: qly.editor(main).getState().contains(pyatspi.STATE_FOCUSED),
                 "the focus in the page")


main = qly.window("Quillery", "frame")
page_focused(main)

# A page change by keys leaves the focus in the page: the new page is said all the same, and
# again at the next change.
for letter in "BC":
    speech.mark()
    key("ctrl+Next")
    speech.heard("Page " + letter, "Page %s after Ctrl+PgDn" % letter)
passed("Ctrl+PgDn: Orca says the new page's letter each time")

# The page selector, reached by Shift+Tab, is said with its letter.
speech.mark()
key("shift+Tab", "shift+Tab", "shift+Tab", "shift+Tab")
qly.wait_for(lambda: qly.focused(main).getRoleName() == "combo box", "the focus on the selector")
said = speech.heard("combo box", "the selector")
if "C" not in said.split("combo box")[0].split():
    raise SystemExit("FAIL: the selector is said as %r, without its letter C" % said)
passed("the selector is said with its letter: %r" % said)
key("Tab", "Tab", "Tab", "Tab")
page_focused(main)

# Menus opened from the keyboard open with their first item active, and Orca says it:
# the page's menu by Shift+F10 and by the Menu key, the main menu by Space on its button.
def menu_by_keys(keys, what, first):
    speech.mark()
    key(*keys)
    qly.wait_for(lambda: windows_shown() >= 2, what)
    said = speech.heard(first, "the active item %r of %s" % (first, what))
    key("Escape")
    qly.wait_for(lambda: windows_shown() == 1, what + " closing")
    return said


menu_by_keys(("shift+F10",), "the page's menu by Shift+F10", "Undo")
menu_by_keys(("Menu",), "the page's menu by the Menu key", "Undo")
page_focused(main)
key(*["shift+Tab"] * 6)
qly.wait_for(lambda: qly.focused(main).name == "Main menu", "the focus on Main menu")
menu_by_keys(("space",), "the main menu by Space", "Note")
key(*["Tab"] * 6)
page_focused(main)
passed("Shift+F10, the Menu key and Space open menus with their first item active")

# The print preview opens with the focus on a named control, and Orca says it.
speech.mark()
key("ctrl+p")
preview = qly.window("Print preview", "dialog")
first = qly.wait_for(lambda: qly.focused(preview), "the preview's first focus")
if not first.name.strip():
    raise SystemExit("FAIL: the preview's first focus is an unnamed %s" % first.getRoleName())
speech.heard("%s %s" % (first.name, first.getRoleName()), "the preview's first focus")
passed("the preview's first focus is the %s %r, and Orca says so" % (first.getRoleName(),
                                                                     first.name))
key("Escape")
qly.wait_for(lambda: windows_shown() == 1, "the preview closing")
page_focused(main)

# Go Mobile by keys: Enter copies to the stick, and the result is said.
if os.environ.get("QLY_STICK"):
    key("F10")
    qly.wait_for(lambda: windows_shown() >= 2, "the main menu")
    key("Return")
    qly.wait_for(lambda: windows_shown() >= 3, "the Note menu")
    speech.mark()
    key("g")
    mobile = qly.window("Go Mobile")
    # Enter goes to the dialog once Orca has said where its focus is.
    focus = qly.wait_for(lambda: qly.focused(mobile), "the focus in Go Mobile")
    speech.heard(focus.name, "Go Mobile's first focus")
    speech.mark()
    key("Return")
    speech.heard("Copy complete", "Go Mobile's result")
    passed("Go Mobile: Enter copies and Orca says \"Copy complete\"")
    key("Escape")
else:
    print("SKIP: Go Mobile's copy needs a stick (root and a mount namespace)", flush=True)

# The floating button from the keyboard: the arrows move it, the Menu key opens its menu.
page_focused(main)
key("shift+Tab", "shift+Tab")
qly.wait_for(lambda: qly.focused(main).name == "Minimize", "the focus on Minimize")
key("space")


def geometry(window):
    info = subprocess.run(["xdotool", "getwindowgeometry", window], capture_output=True,
                          text=True).stdout
    return re.search(r"Position: (\S+)", info).group(1), re.search(r"Geometry: (\S+)",
                                                                     info).group(1)


def place(window):
    return geometry(window)[0]


def floating():
    """The floating button: the program's one visible window, once the main window is gone."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname", "^qly$"],
                           capture_output=True, text=True).stdout.split()
    return found[0] if len(found) == 1 and geometry(found[0])[1] == "34x50" else None


button = qly.wait_for(floating, "the floating button")
qly.wait_for(lambda: subprocess.run(["xdotool", "getactivewindow"], capture_output=True,
                                    text=True).stdout.strip() == button, "the button active")
before = place(button)
key("Left", "Up")
qly.wait_for(lambda: place(button) != before, "the button moved by the arrows",
             detail=lambda: "it stays at " + before)
menu_by_keys(("Menu",), "the floating button's menu", "Restore")
passed("the floating button moves by the arrows and opens its menu by the Menu key")
key("Return")
qly.window("Quillery", "frame")
