#!/usr/bin/env bash
# What a screen reader sees: the program under its own session bus with the accessibility bus,
# every window's tree dumped and checked for unnamed controls (the print preview on a private
# printer), and the program driven by keys.
# As root, in a mount namespace of its own, a tmpfs under /media is the stick Go Mobile copies to.
if [ -z "${QLY_A11Y_NS:-}" ] && [ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null; then
    exec unshare -m env QLY_A11Y_NS=1 bash "$0" "$@"
fi
if [ -z "${QLY_A11Y_BUS:-}" ]; then
    exec dbus-run-session -- env QLY_A11Y_BUS=1 bash "$0" "$@"
fi
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
. "$QLY_SOURCE_DIR/tests/x11/cups_lib.sh"
trap '_x_cleanup; cups_cleanup' EXIT
x_start 1024x768
# A printer, so that the print preview opens on it.
cups_start QlyPDF
export QLY_STICK=""
if [ -n "${QLY_A11Y_NS:-}" ]; then
    mount --make-rprivate /
    QLY_STICK="/media/$(id -un)/A11YSTICK"
    made=""
    for d in "$(dirname "$QLY_STICK")" "$QLY_STICK"; do [ -d "$d" ] || made="$d $made"; done
    mkdir -p "$QLY_STICK"
    mount -t tmpfs -o size=256m tmpfs "$QLY_STICK"
    trap 'umount "$QLY_STICK" 2>/dev/null; for d in $made; do rmdir "$d" 2>/dev/null || true; done; _x_cleanup; cups_cleanup' EXIT
fi

/usr/libexec/at-spi-bus-launcher --launch-immediately >"$X_WORK/atspi.log" 2>&1 &
_x_pids+=($!)
app="$X_WORK/app"
app_install "$app"
cp "$QLY_BINARY_DIR/Quillery/qly.chm" "$app/qly.chm"
printf '[Main]\nMinimizeTo=2\n' >"$app/qly.ini"
mkdir -p "$app/rtf"
printf '{\\rtf1\\ansi kiwi in page A\\par}' >"$app/rtf/A.rtf"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
app_start "$app"
wait_window Quillery >/dev/null || fail "no main window"
dumps="${QLY_A11Y_DUMPS:-$X_WORK/dumps}"
mkdir -p "$dumps"
/usr/bin/python3 "$QLY_SOURCE_DIR/tests/a11y/atspi_check.py" "$app" "$APP_PID" "$dumps" ||
    fail "see above; the trees are in $dumps"
pass "every window's controls are named and the commands work from the keyboard"
