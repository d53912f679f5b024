#!/usr/bin/env bash
# What Orca says: the installed program folder under a real screen reader whose speech goes to
# its debug log only, driven by keys. A page change, Go Mobile's copy and the print preview's
# first focus must be spoken. As root, in a mount namespace of its own, a tmpfs under /media is
# the stick Go Mobile copies to.
if [ -z "${QLY_ORCA_NS:-}" ] && [ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null; then
    exec unshare -m env QLY_ORCA_NS=1 bash "$0" "$@"
fi
if [ -z "${QLY_A11Y_BUS:-}" ]; then
    exec dbus-run-session -- env QLY_A11Y_BUS=1 bash "$0" "$@"
fi
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
. "$QLY_SOURCE_DIR/tests/x11/cups_lib.sh"
if ! command -v orca >/dev/null; then
    echo "SKIP: Orca is not installed (Debian package orca)"
    exit 77
fi
trap '_x_cleanup; cups_cleanup' EXIT
x_start 1024x768
cups_start QlyPDF
export QLY_STICK=""
if [ -n "${QLY_ORCA_NS:-}" ]; then
    mount --make-rprivate /
    QLY_STICK="/media/$(id -un)/ORCASTICK"
    made=""
    for d in "$(dirname "$QLY_STICK")" "$QLY_STICK"; do [ -d "$d" ] || made="$d $made"; done
    mkdir -p "$QLY_STICK"
    mount -t tmpfs -o size=256m tmpfs "$QLY_STICK"
    trap 'umount "$QLY_STICK" 2>/dev/null; for d in $made; do rmdir "$d" 2>/dev/null || true; done; _x_cleanup; cups_cleanup' EXIT
fi

/usr/libexec/at-spi-bus-launcher --launch-immediately >"$X_WORK/atspi.log" 2>&1 &
_x_pids+=($!)

# The program as users get it: the installed folder with its private runtime.
cmake --install "$QLY_BINARY_DIR" --prefix "$X_WORK/inst" >"$X_WORK/install.log" ||
    fail "cmake --install: $(cat "$X_WORK/install.log")"
app="$X_WORK/inst/Quillery"
printf '[Main]\nMinimizeTo=2\n' >"$app/qly.ini"
mkdir -p "$app/rtf"
printf '{\\rtf1\\ansi kiwi in page A\\par}' >"$app/rtf/A.rtf"

# Orca with settings of its own, as it writes them at its first start: speech on (no
# synthesiser is needed, every utterance is logged), no echo of characters.
orca_home="$X_WORK/orcahome"
mkdir -p "$orca_home/.config/speech-dispatcher" "$X_WORK/orcaprefs"
# The speech service it starts speaks through its dummy module, which needs no sound card: a
# synthesiser without one can keep Orca waiting, and the program with it.
cat >"$orca_home/.config/speech-dispatcher/speechd.conf" <<'CONF'
AddModule "dummy" "sd_dummy" ""
DefaultModule dummy
AudioOutputMethod "none"
CONF
HOME="$orca_home" /usr/bin/python3 "$QLY_SOURCE_DIR/tests/a11y/orca_run.py" -r -u "$X_WORK/orcaprefs" --debug-file="$X_WORK/orca.log" \
    >"$X_WORK/orca.out" 2>&1 &
_x_pids+=($!)
orca_ready() { grep -qs "SPEECH OUTPUT: 'Screen reader on.'" "$X_WORK/orca.log"; }
wait_for orca_ready || wait_for orca_ready || wait_for orca_ready ||
    fail "Orca did not start: $(tail -n 20 "$X_WORK/orca.out")"

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
app_start "$app"
wait_window Quillery >/dev/null || fail "no main window"
dumps="${QLY_A11Y_DUMPS:-$X_WORK/dumps}"
mkdir -p "$dumps"
status=0
/usr/bin/python3 "$QLY_SOURCE_DIR/tests/a11y/orca_check.py" "$app" "$APP_PID" "$dumps" \
    "$X_WORK/orca.log" || status=$?
[ -n "${QLY_ORCA_LOG_COPY:-}" ] && cp "$X_WORK/orca.log" "$QLY_ORCA_LOG_COPY"
[ "$status" = 0 ] || fail "see above"
pass "Orca speaks the page change, Go Mobile's result and the preview's first focus"
