"""What a screen reader sees of a running Quillery: the helpers that AT-SPI checks share.

Use the system's python3 (pyatspi is a Debian package), inside a session bus with the
accessibility bus and an X session, as tests/a11y/*_test.sh start them.
"""
import os
import subprocess
import time

import pyatspi
from gi.repository import GLib


class Program:
    def __init__(self, app_dir, pid, dump_dir):
        self.app_dir, self.pid, self.dump_dir = app_dir, pid, dump_dir

    def wait_for(self, condition, what, seconds=20, detail=None):
        """The condition's value once it is true; fails the test after `seconds`, saying what
        `detail()` says then."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            while GLib.MainContext.default().iteration(False):
                pass
            try:
                value = condition()
            except Exception:  # a window closing while it is asked about
                value = None
            if value:
                return value
            time.sleep(0.05)
        subprocess.run(["import", "-window", "root", os.path.join(self.dump_dir, "timeout.png")])
        try:
            what += " (%s)" % detail() if detail else ""
        except Exception:
            pass
        raise SystemExit("FAIL: timed out waiting for " + what)

    def app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            a = desktop.getChildAtIndex(i)
            if a is not None and a.get_process_id() == self.pid:
                return a
        return None

    def window(self, name, role=None):
        def find():
            a = self.app()
            for w in [a.getChildAtIndex(i) for i in range(a.childCount)] if a else []:
                if w.name == name and w.getState().contains(pyatspi.STATE_SHOWING):
                    if role is None or w.getRoleName() == role:
                        return w
            return None
        return self.wait_for(find, "window " + name)

    def page_file(self, letter):
        path = os.path.join(self.app_dir, "rtf", letter + ".rtf")
        return open(path, "rb").read().decode("latin-1") if os.path.exists(path) else ""

    def editor(self, main):
        """The page editor, named "Page X" after the page it shows."""
        return self.wait_for(lambda: next((a for a, _ in walk(main) if a.getRoleName() == "text"
                                           and a.name.startswith("Page ")), None), "the page editor")

    def focused(self, win):
        """The control with the focus; a closed list's entry may still say it has it."""
        return next((a for a, _ in walk(win) if a.getState().contains(pyatspi.STATE_FOCUSED)
                     and a.getState().contains(pyatspi.STATE_SHOWING)), None)


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


def text_of(acc):
    t = acc.queryText()
    return t.getText(0, -1)
