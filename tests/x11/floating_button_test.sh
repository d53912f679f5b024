#!/usr/bin/env bash
# The floating button: where it shows, its drag with the edge snap, the way back, and what
# a close while it is shown keeps.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768

unmapped() { ! mapped "$1"; }
ended() { ! kill -0 "$1" 2>/dev/null; }
geometry_is() { [ "$(win_geometry "$1")" = "$2" ]; }
expect_geometry() {
    wait_for geometry_is "$1" "$2" || fail "$3: geometry $(win_geometry "$1"), expected $2"
}
_left_is_not() { local x _r; read -r x _r < <(win_geometry "$1"); [ "$x" != "$2" ]; }
settings_value() { sed -n "s/^$2=//p" "$1/qly.ini" | tr -d '\r'; }
# Drags the button by its grip so that its left edge would come to X (top unchanged).
drag_button_to_left() {
    local x y w h
    read -r x y w h < <(win_geometry "$1")
    xdotool mousemove $((x + 17)) $((y + 7)) mousedown 1
    xdotool mousemove $((x + 17 + 20)) $((y + 7))
    # The button follows once the press reached it; the rest of the drag is in order after it.
    wait_for _left_is_not "$1" "$x" || fail "the button does not follow the drag"
    xdotool mousemove $(($2 + 17 + 30)) $((y + 7))
    xdotool mousemove $(($2 + 17)) $((y + 7))
    xdotool mouseup 1
}

app="$X_WORK/app"
app_install "$app"
printf '[Main]\nMinimizeTo=2\n' >"$app/qly.ini"
app_start "$app"
wid=$(wait_window Quillery) || fail "no main window"
expect_geometry "$wid" "312 200 400 368" "start"
wait_drawn "$wid" || fail "main window not drawn"
click_minimize "$wid"
button=$(floating_button) || fail "no floating button"
expect_geometry "$button" "678 200 34 50" "default button place"
wait_for unmapped "$wid" || fail "main window still shown with the button"
has_state "$button" _NET_WM_STATE_ABOVE || fail "button not above other windows"
has_state "$button" _NET_WM_STATE_SKIP_TASKBAR || fail "button has a taskbar entry"
xprop -root _NET_CLIENT_LIST | grep -qi "$(printf '0x%x' "$wid")" && fail "main window listed"
import -window root "$X_WORK/floating.png"
pass "the button: 34x50 at 678,200, above others, no taskbar entry"

drag_button_to_left "$button" 5
expect_geometry "$button" "0 200 34 50" "dragged to 5 pixels from the left"
drag_button_to_left "$button" 400
expect_geometry "$button" "400 200 34 50" "dragged to 400"
drag_button_to_left "$button" 5
expect_geometry "$button" "0 200 34 50" "dragged back to the left"
pass "a drag to 5 pixels from the left edge snaps to 0"

read -r bx by _ < <(win_geometry "$button")
xdotool mousemove $((bx + 17)) $((by + 32)) click 1
wait_for mapped "$wid" || fail "the button's click did not restore"
wait_for unmapped "$button" || fail "button still shown after restoring"
expect_geometry "$wid" "312 200 400 368" "restored"
pass "restoring brings back the window's size and position"

wait_drawn "$wid" || fail "main window not drawn after the restore"
click_minimize "$wid"
button=$(floating_button) || fail "no floating button the second time"
expect_geometry "$button" "0 200 34 50" "the next minimise"
pass "the next minimise puts the button where it was dragged"

xdotool type --delay 5 "whilefloating" # letters go nowhere while the button is shown
read -r bx by _ < <(win_geometry "$button")
xdotool mousemove $((bx + 17)) $((by + 7)) click 3
wait_menus 1 || fail "no menu on the grip"
menu=$(xdotool search --onlyvisible --classname '^qly$' | grep -vx "$button" | head -n1) ||
    fail "no menu on the grip"
read -r mx my mw mh < <(win_geometry "$menu")
wait_ink "$mx" "$my" "$mw" "$mh" || fail "the grip's menu is not drawn"
xdotool mousemove $((mx + mw / 2)) $((my + mh - 12)) click 1
wait_for ended "$APP_PID" || fail "Exit from the grip's menu did not end the program"
for kv in Left=312 Top=200 Width=400 Height=368 MinimizedLeft=0 MinimizedTop=200; do
    [ "$(settings_value "$app" "${kv%%=*}")" = "${kv#*=}" ] ||
        fail "after a close with the button shown: ${kv%%=*}=$(settings_value "$app" "${kv%%=*}")"
done
grep -q 'whilefloating' "$app/rtf/A.rtf" 2>/dev/null && fail "keys reached the editor"
pass "a close with the button shown writes the normal geometry and the button's place"

app_start "$app"
wid=$(wait_window Quillery) || fail "no main window on the next start"
expect_geometry "$wid" "312 200 400 368" "the next start"
pass "the next start opens at the normal geometry"
kill -TERM "$APP_PID"; wait_exit "$APP_PID" 5 || fail "no exit"

# Positions from the file are kept on the screen when the button shows and when the window
# comes back.
printf '[Main]\nMinimizeTo=2\nLeft=800\nTop=600\nWidth=400\nHeight=368\nMinimizedLeft=5000\nMinimizedTop=-20\n' \
    >"$app/qly.ini"
app_start "$app"
wid=$(wait_window Quillery) || fail "no main window (clamp)"
expect_geometry "$wid" "800 600 400 368" "start off the screen's edge"
wait_drawn "$wid" || fail "main window not drawn (clamp)"
# The title bar's minimise button is off the screen: the window manager minimises.
xdotool windowminimize "$wid"
button=$(floating_button) || fail "no floating button (clamp)"
expect_geometry "$button" "990 0 34 50" "MinimizedLeft=5000, MinimizedTop=-20"
pass "MinimizedLeft=5000 shows the button flush right, MinimizedTop=-20 at the top"
"$app/qly" || fail "second start failed"
wait_for mapped "$wid" || fail "a second start did not restore from the button"
wait_for unmapped "$button" || fail "button still shown after the second start"
expect_geometry "$wid" "624 400 400 368" "restored inside the screen"
pass "a second start restores; the window comes back inside the screen"
kill -TERM "$APP_PID"; wait_exit "$APP_PID" 5 || fail "no exit"
[ "$(settings_value "$app" MinimizedLeft)" = 990 ] || fail "button place not kept"
[ -n "${QLY_SHOTS:-}" ] && cp "$X_WORK/floating.png" "$QLY_SHOTS/"
true
