#!/usr/bin/env bash
# A second start brings the first forward and ends at once without touching any file;
# a socket left by a crashed copy does not block the next start; SIGTERM shuts down as a
# close does.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
app="$X_WORK/app"
app_install "$app"

snapshot() { (cd "$app" && find . -type f -printf '%p %s %T@\n' | sort && find . -type f -exec md5sum {} + | sort); }

app_start "$app"
first=$APP_PID
wid=$(wait_window Quillery) || fail "no main window"
xdotool type --delay 5 "typed before the second start"
sleep 0.2
xdotool windowminimize "$wid"
sleep 0.5
xprop -id "$wid" WM_STATE | grep -q Iconic || fail "could not minimise the window"
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
sleep 0.5
xprop -id "$wid" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN && fail "minimised window not restored"
xprop -id "$wid" WM_STATE | grep -q Normal || fail "window not back to normal state"
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
