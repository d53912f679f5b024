#!/usr/bin/env bash
# Paste follows the X clipboard that another program (xclip) fills and empties.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start
"$QLY_BINARY_DIR/bin/gui_clipboard_tests" || fail "clipboard tests"
pass "Paste follows the clipboard"
