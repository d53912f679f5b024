#!/usr/bin/env bash
# The options dialog in-process, in an X session of its own; each case in a fresh process, as
# each start of the program has its one main window.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
run_gtest_cases "$QLY_BINARY_DIR/bin/gui_options_x11_tests"
