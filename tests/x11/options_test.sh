#!/usr/bin/env bash
# The options dialog in-process, in an X session of its own; each case in a fresh process, as
# each start of the program has its one main window.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
exe="$QLY_BINARY_DIR/bin/gui_options_x11_tests"
status=0
for t in $("$exe" --gtest_list_tests | awk '/^[^ ]/{s=$1} /^  /{print s $1}'); do
    if "$exe" --gtest_filter="$t" >"$X_WORK/case.log" 2>&1; then
        pass "$t"
    else
        cat "$X_WORK/case.log" >&2
        echo "FAIL: $t"
        status=1
    fi
done
exit $status
