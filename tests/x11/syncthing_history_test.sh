#!/usr/bin/env bash
# Two computers syncing one Quillery folder through Syncthing: page C is changed on both before
# they sync. Syncthing keeps the other text as a conflict copy beside the page; Quillery marks
# page C, names it in a notice and shows both texts in History, where Restore brings the other
# text back (what a screen reader sees, through AT-SPI). Nothing is lost on either side.
if ! command -v syncthing >/dev/null; then
    echo "SKIP: syncthing is not installed (scripts/deps.sh --test installs it)"
    exit 77
fi
if [ -z "${QLY_A11Y_BUS:-}" ]; then
    exec dbus-run-session -- env QLY_A11Y_BUS=1 bash "$0" "$@"
fi
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$X_WORK/atspi.log" 2>&1 &
_x_pids+=($!)
pair="$QLY_SOURCE_DIR/tests/support/syncthing_pair.py"
sync="$X_WORK/sync"
mkdir -p "$sync"

# Each computer: a Syncthing home and a synced folder with a Quillery folder in it. The
# program, its settings and its recovery copies stay on each computer; pages and versions sync.
for side in 1 2; do
    syncthing generate --home="$sync/home$side" --no-default-folder >"$sync/generate$side.log" 2>&1 ||
        fail "syncthing generate: $(cat "$sync/generate$side.log")"
    mkdir -p "$sync/folder$side/.stfolder" "$sync/folder$side/Quillery/rtf"
    printf '/Quillery/qly\n/Quillery/qly.ini\n/Quillery/qly.chm\n/Quillery/recovery\n/Quillery/.qly*\n/Quillery/rtf/.qly*\n' \
        >"$sync/folder$side/.stignore"
done
id1=$(syncthing --home="$sync/home1" --device-id)
id2=$(syncthing --home="$sync/home2" --device-id)
read -r gui1 gui2 listen1 listen2 < <(/usr/bin/python3 "$pair" ports 4)
key1=$(/usr/bin/python3 "$pair" configure "$sync/home1" home "$gui1" "$listen1" "$id2" "$listen2" "$sync/folder1")
key2=$(/usr/bin/python3 "$pair" configure "$sync/home2" laptop "$gui2" "$listen2" "$id1" "$listen1" "$sync/folder2")
st_pid=()
st_start() {
    STNOUPGRADE=1 syncthing serve --home="$sync/home$1" --no-browser --no-restart \
        >>"$sync/syncthing$1.log" 2>&1 &
    st_pid[$1]=$!
    _x_pids+=($!)
}
st_stop() {
    kill "${st_pid[$1]}"
    wait_exit "${st_pid[$1]}" 30 || fail "syncthing $1 did not stop"
}
connected() { /usr/bin/python3 "$pair" connected "$gui1" "$key1"; }
long_wait() { local i; for i in $(seq 240); do "$@" && return 0; sleep 0.5; done; return 1; }

st_start 1
st_start 2
long_wait connected || fail "the two Syncthing instances did not connect: $(tail -5 "$sync/syncthing2.log")"
home="$sync/folder1/Quillery"
laptop="$sync/folder2/Quillery"
printf '{\\rtf1\\ansi Shopping: apples\\par}' >"$home/rtf/C.rtf"
long_wait grep -q apples "$laptop/rtf/C.rtf" 2>/dev/null || fail "page C did not reach the laptop"
pass "two Syncthing instances sync the Quillery folder"

# The laptop goes offline and its page C is changed there (written as Quillery writes it:
# aside, then renamed), earlier than at home.
st_stop 2
replace_file "$laptop/rtf/C.rtf" '{\rtf1\ansi Shopping: pears from the laptop\par}'
touch -d '-2 minutes' "$laptop/rtf/C.rtf"

# At home Quillery changes page C too: typed, then saved by going to page D.
app_install "$home"
printf '[Main]\nActivePage=2\n' >"$home/qly.ini"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
app_start "$home"
wid=$(wait_window Quillery) || fail "no main window"
wait_page_has "$wid" "apples"
xdotool key ctrl+End
xdotool type --delay 20 " and bread at home"
wait_page_has "$wid" "bread at home"
xdotool key ctrl+Next
wait_file_has "$home/rtf/C.rtf" "bread at home" || fail "page C was not saved at home"

# The laptop comes back: Syncthing keeps the laptop's older text as a conflict copy.
st_start 2
conflict_copy() { ls "$1"/rtf/C.sync-conflict-*.rtf >/dev/null 2>&1; }
long_wait conflict_copy "$home" || fail "no conflict copy at home: $(ls "$home/rtf"); $(tail -5 "$sync/syncthing1.log")"
long_wait conflict_copy "$laptop" || fail "no conflict copy on the laptop: $(ls "$laptop/rtf")"
grep -q "pears from the laptop" "$home"/rtf/C.sync-conflict-*.rtf || fail "the conflict copy holds $(cat "$home"/rtf/C.sync-conflict-*.rtf)"
pass "Syncthing kept the laptop's text as $(basename "$home"/rtf/C.sync-conflict-*.rtf)"

dumps="${QLY_A11Y_DUMPS:-$X_WORK/dumps}"
mkdir -p "$dumps"
/usr/bin/python3 "$QLY_SOURCE_DIR/tests/a11y/history_check.py" "$home" "$APP_PID" "$dumps" ||
    fail "see above; the screen is in $dumps"

# The restored page reaches the laptop; each side holds both texts.
long_wait grep -q "pears from the laptop" "$laptop/rtf/C.rtf" ||
    fail "the restored page did not reach the laptop: $(cat "$laptop/rtf/C.rtf")"
for side in "$home" "$laptop"; do
    for text in "pears from the laptop" "bread at home"; do
        long_wait grep -rqF "$text" "$side/rtf" "$side/backup" 2>/dev/null ||
            fail "$side lost \"$text\": $(ls "$side/rtf" "$side/backup" 2>&1)"
    done
done
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "the program did not end"
pass "Restore of the laptop's text worked, and both texts are kept at home and on the laptop"
