"""Starts Orca with its debug log written line by line, so that a test reads what Orca has
said while it runs (Orca's own file is block-buffered). The arguments are Orca's."""
import builtins
import runpy
import sys

debug_file = next(a.split("=", 1)[1] for a in sys.argv if a.startswith("--debug-file="))
_open = builtins.open


def line_buffered_open(name, mode="r", *args, **kwargs):
    if name == debug_file and "w" in mode:
        return _open(name, mode, buffering=1)
    return _open(name, mode, *args, **kwargs)


builtins.open = line_buffered_open
sys.argv = ["/usr/bin/orca"] + sys.argv[1:]
runpy.run_path("/usr/bin/orca", run_name="__main__")
