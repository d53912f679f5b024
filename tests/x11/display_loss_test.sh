#!/usr/bin/env bash
# The display server dies under a running Quillery with typed, unsaved text: the program
# ends, and the text reaches the page file and the twelve "Main" keys reach qly.ini.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
xvfb_pid="${_x_pids[0]}"
app="$X_WORK/app"
app_install "$app"
cp "$QLY_BINARY_DIR/Quillery/qly.chm" "$app/"

app_start "$app"
main=$(wait_window Quillery) || fail "no main window"
wait_active "$main" || fail "the main window has no focus"
read -r mx my _ _ <<<"$(win_geometry "$main")"
xdotool mousemove $((mx + 200)) $((my + 200)) click 1
xdotool type --delay 20 'typed before the display died'
keys_handled "$app" || fail "the keys typed were not handled"

kill -KILL "$xvfb_pid"
wait_exit "$APP_PID" 10 || fail "the program still runs without its display"

text="$("$QLY_BINARY_DIR/bin/qly-rtf" text "$app/rtf/A.rtf" 2>&1)" || fail "no page file: $text"
[[ "$text" == *'typed before the display died'* ]] || fail "the typed text was lost: $text"
keys=$(awk '/^\[/{main = ($0 == "[Main]")} main && /=/' "$app/qly.ini" | wc -l)
[ "$keys" = 12 ] || fail "qly.ini holds $keys keys of Main: $(cat "$app/qly.ini")"
pass "text and settings saved when the display died"
