#!/usr/bin/env bash
# A small stick filling with versions: the program folder on a tmpfs in a private mount
# namespace with about 3.9 MB left beside a 1.2 MB page A. Five rounds of typing on A and
# leaving it keep every typed word in the page without a message: the oldest versions give way.
# The window's title names the stick.
if [ "$(id -u)" != 0 ]; then
    echo "SKIP: a private mount namespace needs root"
    exit 0
fi
if [ -z "${QLY_IN_NAMESPACE:-}" ]; then
    QLY_IN_NAMESPACE=1 exec unshare -m --propagation private bash "$0" "$@"
fi
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
export XDG_STATE_HOME="$X_WORK/state"
stick="$X_WORK/NOTES2GO"
mkdir -p "$stick"
page_kb=1200
program_kb=$(( $(stat -c %s "$QLY_EXE") / 1024 + 1 ))
mount -t tmpfs -o size=$((program_kb + page_kb + 3900))k tmpfs "$stick"
trap 'umount -l "$stick"; _x_cleanup' EXIT
app="$stick/Quillery"
app_install "$app"
mkdir -p "$app/rtf"
python3 - "$app/rtf/A.rtf" "$page_kb" <<'PY'
import sys
line = "old notes on a small stick, line after line of them\\par\n"
n = int(sys.argv[2]) * 1024 // len(line)
open(sys.argv[1], "w").write("{\\rtf1\\ansi " + line * n + "}")
PY

prev_page() { local x y _w _h; read -r x y _w _h < <(win_geometry "$1"); xdotool mousemove $((x + 32)) $((y + 10)) click 1; }
next_page() { local x y _w _h; read -r x y _w _h < <(win_geometry "$1"); xdotool mousemove $((x + 100)) $((y + 10)) click 1; }
saved() { grep -q "$1" "$app/rtf/A.rtf"; }

app_start "$app"
main=$(wait_window 'Quillery - NOTES2GO') || fail "no main window named after the stick"
for round in 1 2 3 4 5; do
    read -r x y _ _ <<<"$(win_geometry "$main")"
    xdotool mousemove $((x + 200)) $((y + 200)) click 1 key ctrl+End
    xdotool type --delay 10 " round$round"
    next_page "$main"
    wait_for saved "round$round" || fail "round $round was not saved"
    no_message_box "$main" || fail "a message in round $round"
    prev_page "$main"
done
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 10 || fail "no exit on SIGTERM"
for round in 1 2 3 4 5; do saved "round$round" || fail "round $round lost"; done
versions=$(find "$app/backup" -name 'A.[0-9]*.rtf' | wc -l)
[ "$versions" -lt 4 ] || fail "$versions versions kept on a full stick"
pass "five rounds on a full stick: every word in the page, $versions versions left ($(df -k --output=avail "$stick" | tail -n1) KB free)"
