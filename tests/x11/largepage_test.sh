#!/usr/bin/env bash
# Large pages in the program: a page of 300,000 alternating formats lets the window come up
# and a termination signal end the program at any moment without writing anything; a 1 MB
# page is complete and editable, and what was typed at its end is saved. A 2 GiB page (sparse)
# is named at once, without being read.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
make_page="$QLY_SOURCE_DIR/bench/make_page.py"
rtf="$QLY_BINARY_DIR/bin/qly-rtf"
app="$X_WORK/app"
app_install "$app"
mkdir -p "$app/rtf"
cp "$QLY_BINARY_DIR/Quillery/qly.chm" "$app/"

# --- The pathological page: SIGTERM while it loads, while it is laid out, once it shows.
# In the program's own form (as it saves the page), so a save once it shows changes no byte.
python3 "$make_page" runs 300000 >"$X_WORK/runs.in"
"$rtf" roundtrip "$X_WORK/runs.in" "$X_WORK/runs.rtf"
for wait in 0 0.5 1.5; do
    cp "$X_WORK/runs.rtf" "$app/rtf/A.rtf"
    rm -f "$app/qly.ini"
    app_start "$app"
    wait_window Quillery >/dev/null || fail "no window with the 300,000-run page"
    sleep "$wait" # the moment of the signal is what this case is about
    kill -TERM "$APP_PID"
    wait_exit "$APP_PID" 10 || fail "no exit on SIGTERM ${wait}s after the window showed"
    cmp -s "$X_WORK/runs.rtf" "$app/rtf/A.rtf" || fail "page changed by SIGTERM after ${wait}s"
    # Right after the window showed the page is still loading: nothing may have been written.
    [ "$wait" != 0 ] || [ ! -e "$app/qly.ini" ] || fail "settings written while the page loaded"
done
pass "300,000-run page: window shown, SIGTERM ends the program, page and settings untouched"

# --- A 1 MB page: typed at its end, the whole page saved with the typing.
python3 "$make_page" text 1000000 7 >"$X_WORK/page.txt"
"$rtf" convert "$X_WORK/page.txt" "$app/rtf/A.rtf"
"$rtf" text "$app/rtf/A.rtf" | tr -d '\r' | grep -v '^$' >"$X_WORK/before.txt"
app_start "$app"
wid=$(wait_window Quillery) || fail "no window with the 1 MB page"
wait_active "$wid" || fail "the main window has no focus"
read -r wx wy _ _ <<<"$(win_geometry "$wid")"
xdotool mousemove $((wx + 200)) $((wy + 200)) click 1
xdotool key ctrl+End type zzEND
keys_handled "$app" || fail "the keys typed were not handled"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 20 || fail "no exit after typing"
"$rtf" text "$app/rtf/A.rtf" | tr -d '\r' | grep -v '^$' >"$X_WORK/after.txt"
[ "$(tail -n1 "$X_WORK/after.txt")" = zzEND ] || fail "typing at the end lost: $(tail -n1 "$X_WORK/after.txt")"
head -n -1 "$X_WORK/after.txt" | cmp -s - "$X_WORK/before.txt" || fail "the 1 MB page lost text"
pass "1 MB page: typed at its end, saved whole"

# --- A 2 GiB page: refused before it is read, its message up within 2 s of a normal start.
# In a build with the address sanitizer, its own memory is the baseline.
peak_kb() { awk '/^VmHWM/ {print $2}' "/proc/$1/status"; }
started_ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
rm -f "$app/qly.ini"
printf '{\\rtf1\\ansi small\\par}' >"$app/rtf/A.rtf"
t0=$(date +%s%N)
app_start "$app"
wait_window Quillery >/dev/null || fail "no window with a small page"
normal_ms=$(started_ms "$t0")
normal_kb=$(peak_kb "$APP_PID")
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "no exit on SIGTERM"
rm -f "$app/rtf/A.rtf" "$app/qly.ini"
truncate -s 2G "$app/rtf/A.rtf"
t0=$(date +%s%N)
app_start "$app"
wait_for program_dialog >/dev/null || fail "no message about the 2 GiB page"
large_ms=$(started_ms "$t0")
large_kb=$(peak_kb "$APP_PID")
base_kb=0
ldd "$app/qly" | grep -q libasan && base_kb=$normal_kb
[ $((large_kb - base_kb)) -lt 102400 ] || fail "the 2 GiB page took ${large_kb} kB (normal start ${normal_kb} kB)"
[ "$large_ms" -lt $((normal_ms + 2000)) ] || fail "the message came after ${large_ms} ms (a normal window after ${normal_ms} ms)"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "no exit on SIGTERM with the message up"
[ "$(stat -c %s "$app/rtf/A.rtf")" = 2147483648 ] || fail "the 2 GiB page changed"
pass "2 GiB page: message after ${large_ms} ms (window ${normal_ms} ms), peak ${large_kb} kB (normal ${normal_kb} kB)"
