#!/usr/bin/env bash
# The frameless main window in a real X session: the grip moves it with the right button as
# with the left, and its bottom-right edge resizes it.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start
dir="$X_WORK/app"
app_install "$dir"
printf '[Main]\nLeft=100\nTop=100\n' >"$dir/qly.ini"
app_start "$dir"
wid="$(wait_window Quillery)" || fail "no main window"
wait_active "$wid" || fail "the main window has no focus"

# Drags from (x, y) by (dx, dy) with a mouse button, in steps as a hand does.
drag() {
    local button="$1" x="$2" y="$3" dx="$4" dy="$5" i
    xdotool mousemove "$x" "$y"
    sleep 0.2
    xdotool mousedown "$button"
    sleep 0.3
    for i in 1 2 3 4; do
        xdotool mousemove $((x + dx * i / 4)) $((y + dy * i / 4))
        sleep 0.1
    done
    sleep 0.2
    xdotool mouseup "$button"
    sleep 0.4
}

for button in 3 1; do
    read -r x y w h < <(win_geometry "$wid")
    # The grip lies right of the navigation panel (4 pixels frame + 111).
    drag "$button" $((x + 200)) $((y + 12)) 60 40
    read -r nx ny nw nh < <(win_geometry "$wid")
    [ "$nx" -eq $((x + 60)) ] && [ "$ny" -eq $((y + 40)) ] ||
        fail "button $button on the grip moved the window from $x,$y to $nx,$ny"
    # The move ended with the button: moving on leaves the window where it is.
    xdotool mousemove $((nx + 300)) $((ny + 200))
    sleep 0.4
    read -r ax ay _ _ < <(win_geometry "$wid")
    [ "$ax" -eq "$nx" ] && [ "$ay" -eq "$ny" ] ||
        fail "the window still followed the mouse after button $button was released"
    pass "button $button on the grip moves the window"
done

# A press on an empty part of the navigation panel does not move the window.
read -r x y w h < <(win_geometry "$wid")
drag 1 $((x + 4 + 110)) $((y + 22)) 50 50
read -r nx ny _ _ < <(win_geometry "$wid")
[ "$nx" -eq "$x" ] && [ "$ny" -eq "$y" ] || fail "the navigation panel dragged the window"
pass "the navigation panel does not drag"

# The bottom-right edge resizes.
read -r x y w h < <(win_geometry "$wid")
drag 1 $((x + w - 2)) $((y + h - 2)) 80 50
read -r nx ny nw nh < <(win_geometry "$wid")
[ "$nx" -eq "$x" ] && [ "$ny" -eq "$y" ] || fail "resizing moved the window"
[ "$nw" -ge $((w + 70)) ] && [ "$nw" -le $((w + 90)) ] &&
    [ "$nh" -ge $((h + 40)) ] && [ "$nh" -le $((h + 60)) ] ||
    fail "the bottom-right edge resized ${w}x$h to ${nw}x$nh"
pass "the bottom-right edge resizes the window"

# The right edge alone changes the width only.
read -r x y w h < <(win_geometry "$wid")
drag 1 $((x + w - 2)) $((y + h / 2)) -60 30
read -r nx ny nw nh < <(win_geometry "$wid")
[ "$nw" -le $((w - 50)) ] && [ "$nh" -eq "$h" ] || fail "the right edge resized ${w}x$h to ${nw}x$nh"
pass "the right edge resizes the width"

# After those drags the window still takes clicks: the next-page button works.
xdotool mousemove $((nx + 4 + 92 + 8)) $((ny + 4 + 10)) click 1
wait_pixel $((nx + 200)) $((ny + 200)) "#FFFFC0" || fail "the next-page button did not switch after the drags"
kill "$APP_PID"
wait_exit "$APP_PID" || fail "the program did not end"
grep -q '^ActivePage=1' "$dir/qly.ini" || fail "the next-page button did not switch after the drags"
pass "buttons work after the drags"
