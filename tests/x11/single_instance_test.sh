#!/usr/bin/env bash
# A second start brings the first forward and ends at once without touching any file;
# a socket left by a crashed copy does not block the next start; SIGTERM shuts down as a
# close does. A copy from another folder (a stick) runs beside the first, on its own notes,
# its title naming the stick; without a runtime folder a channel planted by someone else is
# not used, and a private folder planted under the program's name is replaced by another.
if [ "$(id -u)" = 0 ] && [ -z "${QLY_IN_NAMESPACE:-}" ]; then
    # Root mounts the stick in a private mount namespace.
    QLY_IN_NAMESPACE=1 exec unshare -m --propagation private bash "$0" "$@"
fi
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
app="$X_WORK/app"
app_install "$app"

shows() { [ "$(editor_text "$1")" = "$2" ]; }
wm_state_is() { xprop -id "$1" WM_STATE | grep -q "$2"; }
snapshot() { (cd "$app" && find . -type f -printf '%p %s %T@\n' | sort && find . -type f -exec md5sum {} + | sort); }

app_start "$app"
first=$APP_PID
wid=$(wait_window Quillery) || fail "no main window"
xdotool type --delay 5 "typed before the second start"
wait_for shows "$wid" "typed before the second start" || fail "typing did not reach the page"
xdotool windowminimize "$wid"
wait_for wm_state_is "$wid" Iconic || fail "could not minimise the window"
before=$(snapshot)

start=$(date +%s%N)
"$app/qly" >"$X_WORK/second.log" 2>&1
status=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$status" = 0 ] || fail "second start exit status $status"
[ "$elapsed_ms" -lt 1000 ] || fail "second start took ${elapsed_ms} ms"
[ "$(xdotool search --name '^Quillery$' | wc -l)" -ge 1 ] || fail "first window gone"
kill -0 "$first" || fail "first copy ended"
[ "$(pgrep -c -f "$app/qly")" = 1 ] || fail "more than one copy runs"
[ "$(snapshot)" = "$before" ] || fail "second start changed files"
wait_for wm_state_is "$wid" Normal || fail "window not back to normal state"
has_state "$wid" _NET_WM_STATE_HIDDEN && fail "minimised window not restored"
pass "second start: status 0 in ${elapsed_ms} ms, first copy restored, no file changed"

# SIGTERM: page and settings saved as a close saves them.
kill -TERM "$first"
wait_exit "$first" 5 || fail "no exit on SIGTERM"
grep -q 'typed before the second start' "$app/rtf/A.rtf" || fail "page not saved on SIGTERM"
grep -qx 'ActivePage=0' "$app/qly.ini" || fail "settings not written on SIGTERM"
pass "SIGTERM saves the page and the settings"

# A copy that crashed leaves its socket behind: the next start must still come up.
app_start "$app"
crashed=$APP_PID
wait_window Quillery >/dev/null || fail "no main window"
kill -KILL "$crashed"; wait "$crashed" 2>/dev/null || true
ls "$XDG_RUNTIME_DIR"/quillery-*.sock >/dev/null 2>&1 || fail "expected a stale socket"
app_start "$app"
wait_window Quillery >/dev/null || fail "stale socket blocked start-up"
pass "a stale socket does not block start-up"
kill -HUP "$APP_PID"
wait_exit "$APP_PID" 5 || fail "no exit on SIGHUP"
pass "SIGHUP shuts down"

# --- The stick's program beside the home one: each on its own notes.
printf '{\\rtf1\\ansi home notes\\par}' >"$app/rtf/A.rtf"
app_start "$app"
home_pid=$APP_PID
home=$(wait_window Quillery) || fail "no home window"
# Out of the way of the stick's window, which opens where this one would.
xdotool windowmove --sync "$home" 20 20
stick="$X_WORK/NOTES2GO"
mkdir -p "$stick"
title='Quillery'
if [ "$(id -u)" = 0 ]; then
    mount -t tmpfs tmpfs "$stick"
    trap 'umount -l "$stick"; _x_cleanup' EXIT
    title='Quillery - NOTES2GO'
fi
app_install "$stick/Quillery"
mkdir -p "$stick/Quillery/rtf"
printf '{\\rtf1\\ansi stick notes\\par}' >"$stick/Quillery/rtf/A.rtf"
app_start "$stick/Quillery"
stick_pid=$APP_PID
on_stick() { xdotool search --onlyvisible --name "^$title\$" | grep -vx "$home" | head -n1; }
stick_window=$(wait_for on_stick) || fail "the stick's program did not show a window of its own"
kill -0 "$home_pid" || fail "the home program ended"
[ "$(editor_text "$home")" = 'home notes' ] || fail "the home window shows: $(editor_text "$home")"
[ "$(editor_text "$stick_window")" = 'stick notes' ] || fail "the stick window shows: $(editor_text "$stick_window")"
# A second start from the stick still only brings the stick's window forward.
timeout 10 "$stick/Quillery/qly" >/dev/null 2>&1 || fail "a second start from the stick did not end"
[ "$(pgrep -c -f "$stick/Quillery/qly")" = 1 ] || fail "two copies run from the stick"
pass "the stick's program runs beside the home one as '$title', each on its own notes"
kill -TERM "$home_pid" "$stick_pid"
wait_exit "$home_pid" 5 && wait_exit "$stick_pid" 5 || fail "no exit on SIGTERM"

# --- No runtime folder: the channel goes to a private folder in the temporary folder; one
# that is not the user's alone (another user could have planted it) is refused.
tmp="$X_WORK/tmp"
mkdir -p "$tmp"
private="$tmp/quillery-$(id -u)"
export XDG_STATE_HOME="$X_WORK/state"
start_without_runtime_folder() {
    env -u XDG_RUNTIME_DIR TMPDIR="$tmp" "$app/qly" >"$X_WORK/app.log" 2>&1 &
    APP_PID=$!
    _x_pids+=($APP_PID)
}
start_without_runtime_folder
wait_window Quillery >/dev/null || fail "no window without XDG_RUNTIME_DIR"
[ "$(stat -c %a "$private")" = 700 ] || fail "the private folder has mode $(stat -c %a "$private")"
ls "$private"/quillery-*.sock >/dev/null || fail "no channel in the private folder"
first=$APP_PID
env -u XDG_RUNTIME_DIR TMPDIR="$tmp" timeout 10 "$app/qly" || fail "a second start did not end"
kill -TERM "$first"
wait_exit "$first" 5 || fail "no exit on SIGTERM"
pass "without XDG_RUNTIME_DIR the channel lives in $private (0700)"

# Channels planted by someone else: in a folder open to all, and (as root, where another user
# can be played) a socket of another user's in a private folder. Neither keeps the start.
as_other=()
if [ "$(id -u)" = 0 ]; then
    as_other=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chmod o+x "$X_WORK" "$tmp"
fi
channel=$(python3 -c "import hashlib, os, sys; print('quillery-%s.sock' % hashlib.sha1((os.path.realpath(sys.argv[1]) + '/').encode()).hexdigest()[:16])" "$app")
plant() { # FOLDER: a listener that answers every request, as the other user
    rm -f "$1/$channel" "$1/up"
    "${as_other[@]}" /usr/bin/python3 -c "
import socket, sys
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(8)
open(sys.argv[2], 'w').write('up')
while True:
    c, _ = s.accept()
    try: c.recv(16); c.send(b'ok\\n')
    except OSError: pass
    c.close()
" "$1/$channel" "$1/up" &
    _x_pids+=($!)
    wait_for test -s "$1/up" || fail "could not plant a socket in $1"
}
rm -rf "$private"
mkdir -m 777 "$private"
plant "$private"
start_without_runtime_folder
wait_window Quillery >/dev/null || fail "a channel in a folder open to all kept the program from starting"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "no exit on SIGTERM"
pass "a channel in a folder open to all is not used: the program starts"
if [ "$(id -u)" = 0 ]; then
    rm -rf "$private"
    mkdir -m 700 "$private"
    mkdir -m 777 "$tmp/other"
    plant "$tmp/other"
    mv "$tmp/other/$channel" "$private/$channel"
    start_without_runtime_folder
    wait_window Quillery >/dev/null || fail "another user's listener kept the program from starting"
    kill -TERM "$APP_PID"
    wait_exit "$APP_PID" 5 || fail "no exit on SIGTERM"
    pass "another user's listener on the channel is not asked: the program starts"

    # The private folder's name taken first by another user: the channel goes to another
    # folder of this user's, found again by the next start, which then ends.
    rm -rf "$private"
    mkdir -m 700 "$private"
    chown 65534:65534 "$private"
    start_without_runtime_folder
    first=$APP_PID
    wait_window Quillery >/dev/null || fail "no window with the private folder planted"
    env -u XDG_RUNTIME_DIR TMPDIR="$tmp" timeout 10 "$app/qly" || fail "a second start did not end"
    [ "$(pgrep -c -f "$app/qly")" = 1 ] || fail "two copies run with the private folder planted"
    [ "$(xdotool search --onlyvisible --name '^Quillery$' | wc -l)" = 1 ] || fail "two windows"
    [ -z "$(ls -A "$private")" ] || fail "something was written into the planted folder"
    kill -TERM "$first"
    wait_exit "$first" 5 || fail "no exit on SIGTERM"
    pass "a planted $private: one window, the channel in $(cat "$XDG_STATE_HOME/quillery/channel-folder")"
fi
