#!/usr/bin/env bash
# Each page where it was left, the pages' names in the selector, Find next, Replace and Redo,
# as a screen reader sees them (AT-SPI), driven by keys; then the same folder after a restart.
if [ -z "${QLY_A11Y_BUS:-}" ]; then
    exec dbus-run-session -- env QLY_A11Y_BUS=1 bash "$0" "$@"
fi
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$X_WORK/atspi.log" 2>&1 &
_x_pids+=($!)
app="$X_WORK/app"
app_install "$app"
mkdir -p "$app/rtf"
for i in $(seq 300); do printf 'line %d of page A\r\n' "$i"; done >"$app/rtf/A.rtf"
printf 'first line of B\r\nsecond line' >"$app/rtf/B.rtf"
printf '{\\rtf1\\ansi {\\b Kiwi notes}\\par a kiwi and\\par more fruit\\par}' >"$app/rtf/C.rtf"
printf 'cat one, cat two\r\nand a cat' >"$app/rtf/D.rtf"
printf 'a kiwi on G' >"$app/rtf/G.rtf"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
dumps="${QLY_A11Y_DUMPS:-$X_WORK/dumps}"
mkdir -p "$dumps"
check() { /usr/bin/python3 "$QLY_SOURCE_DIR/tests/a11y/pagenav_check.py" "$app" "$APP_PID" "$dumps" "$1"; }

app_start "$app"
wait_window Quillery >/dev/null || fail "no main window"
check first || fail "see above"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "the program did not end"
grep -q '^\[Positions\]' "$app/qly.ini" || fail "no Positions section in qly.ini"

app_start "$app"
wait_window Quillery >/dev/null || fail "no main window after the restart"
check restart || fail "see above"
pass "pages keep their places, the list names them; Find next, Replace and Redo by keys"
