#!/usr/bin/env bash
# A notes folder shared with another user (writable by all, as a family or team folder is): the
# other user makes recovery/ and backup/ links to this user's private pages. Typing, switching
# pages, a kill and a restart, with Restore and with Discard, leave the private folder as it
# was, and each start names the links. Then the other user takes the folder's lock file and
# holds it through a restart after a crash: the recovery box is offered all the same, saying
# another user may use the folder, and the typed text survives. The other user is played by
# root with setpriv. A screenshot of the box naming a link goes to build/screenshots/.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
if [ "$(id -u)" != 0 ]; then
    echo "SKIP: playing a second user needs root (setpriv)"
    exit 77
fi
x_start 1024x768
shots="$QLY_BINARY_DIR/screenshots"
mkdir -p "$shots"
other=(setpriv --reuid=65534 --regid=65534 --clear-groups)
chmod o+x "$X_WORK"
mkdir -m 777 "$X_WORK/other"
export XDG_STATE_HOME="$X_WORK/state"
app="$X_WORK/app"
app_install "$app"
mkdir -p "$app/rtf"
printf '{\\rtf1\\ansi shared words\\par}' >"$app/rtf/A.rtf"
chmod 777 "$app" "$app/rtf"
private="$X_WORK/private"
mkdir -m 700 "$private"
printf '{\\rtf1\\ansi private page\\par}' >"$private/A.rtf"
printf '{\\rtf1\\ansi private version\\par}' >"$private/A.1.rtf"
printf '{\\rtf1\\ansi private B\\par}' >"$private/B.rtf"
private_state() { (cd "$private" && find . -printf '%p %s %T@\n' | sort && md5sum ./*); }
private_before=$(private_state)
"${other[@]}" ln -s "$private" "$app/recovery" || fail "the other user could not make a link"
"${other[@]}" ln -s "$private" "$app/backup" || fail "the other user could not make a link"

_gone() { ! xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
# Waits for the message box that says WHAT (its words are checked in-process by the main
# window's tests), and answers it with KEY.
answer() {
    local box
    box=$(wait_for program_dialog) || fail "no message box: $1"
    wait_for xdotool windowactivate --sync "$box" 2>/dev/null || true
    if [ -n "${3:-}" ]; then
        wait_drawn "$box" || fail "the message box is not drawn"
        import -window root "$shots/$3.png"
    fi
    xdotool key "$2"
    wait_for _gone "$box" || fail "the message box did not close: $1"
}
# A start answers the boxes naming the two links; prints the main window.
start_and_answer_links() {
    app_start "$app"
    answer "$app/backup is a symbolic link" Return "${1:-}"
    answer "$app/recovery is a symbolic link" Return
}
main_window() {
    local w
    w=$(wait_window Quillery) || fail "no main window"
    wait_drawn "$w" || fail "the main window is not drawn"
    echo "$w"
}
_copy_has() { cat "$app"/recovery.2/*.rtf 2>/dev/null | grep -qF -- "$1"; }
type_at_end() { # WID TEXT: types at the page's end, and waits until its copy is kept
    local x y _w _h
    read -r x y _w _h <<<"$(win_geometry "$1")"
    xdotool mousemove $((x + 200)) $((y + 200)) click 1 key ctrl+End type --delay 20 "$2"
    wait_page_has "$1" "$2" || fail "typing did not reach the page"
    for _ in $(seq 4); do wait_for _copy_has "${2# }" && return 0; done
    fail "no recovery copy of '$2' in $app/recovery.2"
}
next_page() {
    local x y _w _h
    read -r x y _w _h <<<"$(win_geometry "$1")"
    xdotool mousemove $((x + 4 + 100)) $((y + 4 + 10)) click 1
}
kill_app() {
    kill -KILL "$APP_PID"
    wait_exit "$APP_PID" || fail "the program did not end"
}

# Typing and switching: the versions and copies go beside the links.
start_and_answer_links link-refused
main=$(main_window)
type_at_end "$main" ' typed on A'
next_page "$main"
wait_file_has "$app/rtf/A.rtf" 'typed on A' || fail "the switch did not save page A"
wait_for test ! -e "$app/recovery.2/A.rtf" || fail "the copy of A was kept after its save"
type_at_end "$main" ' typed on B'
kill_app
[ "$(private_state)" = "$private_before" ] || fail "the private folder changed before the restart"
[ -e "$app/backup.2/A.1.rtf" ] || fail "no version of A beside the link"
pass "typing and switching keep versions and copies beside the links"

# Restore after the kill, then Discard after another.
start_and_answer_links
answer "Page B holds changes" Return
main=$(main_window)
wait_page_has "$main" 'typed on B' || fail "Restore did not bring back the typed text"
type_at_end "$main" ' and more'
kill_app
start_and_answer_links
answer "Page B holds changes" alt+d
main=$(main_window)
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "no exit on SIGTERM"
grep -q 'typed on B' "$app/rtf/B.rtf" 2>/dev/null && fail "Discard kept the discarded text"
[ "$(private_state)" = "$private_before" ] || fail "the private folder changed: $(private_state)"
pass "Restore and Discard after a kill leave the linked folder as it was"

# The other user takes the lock file and holds it (and the folder) through a crash.
start_and_answer_links
main=$(main_window)
type_at_end "$main" ' typed under the lock'
kill_app
"${other[@]}" mv "$app/.qly.lock" "$app/.qly.lock.moved" || fail "the other user could not move the lock"
"${other[@]}" /usr/bin/python3 -c "
import fcntl, os, sys, time
lock = os.open(sys.argv[1] + '/.qly.lock', os.O_RDWR | os.O_CREAT, 0o644)
fcntl.flock(lock, fcntl.LOCK_EX)
folder = os.open(sys.argv[1], os.O_RDONLY)
fcntl.flock(folder, fcntl.LOCK_EX)
open(sys.argv[2], 'w').write('held')
time.sleep(600)
" "$app" "$X_WORK/other/held" &
_x_pids+=($!)
wait_for test -s "$X_WORK/other/held" || fail "the other user could not hold the lock"
start_and_answer_links
answer "Another user may be using this folder" Return
main=$(main_window)
wait_page_has "$main" 'typed under the lock' || fail "the typed text was not restored"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "no exit on SIGTERM"
cat "$app"/rtf/*.rtf | grep -q 'typed under the lock' || fail "the restored text was not saved"
[ "$(private_state)" = "$private_before" ] || fail "the private folder changed: $(private_state)"
pass "with the lock held by another user the recovery box is offered and the text survives"
