#!/usr/bin/env bash
# Printing for real: a CUPS scheduler of the test's own with a cups-pdf queue as the default
# destination, an X session, and each case of gui_print_x11_tests in a fresh process.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
. "$QLY_SOURCE_DIR/tests/x11/cups_lib.sh"
trap '_x_cleanup; cups_cleanup' EXIT
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
# The scheduler runs in a mount namespace of its own, which takes root.
[ "$(id -u)" = 0 ] || { echo "SKIP: needs root"; exit 77; }
x_start 1024x768
cups_start QlyPDF
# Each case starts with an empty output folder.
clear_output() { rm -f "$CUPS_OUT"/*; }
BEFORE_CASE=clear_output run_gtest_cases "$QLY_BINARY_DIR/bin/gui_print_x11_tests"
