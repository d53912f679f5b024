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
exe="$QLY_BINARY_DIR/bin/gui_print_x11_tests"
status=0
for t in $("$exe" --gtest_list_tests | awk '/^[^ ]/{s=$1} /^  /{print s $1}'); do
    rm -f "$CUPS_OUT"/*
    if "$exe" --gtest_filter="$t" >"$X_WORK/case.log" 2>&1; then
        pass "$t"
    else
        cat "$X_WORK/case.log" >&2
        echo "FAIL: $t"
        status=1
    fi
done
exit $status
