#!/usr/bin/env bash
# Minimising by the window manager's keyboard iconify in the tray and floating-button modes:
# the main window leaves the screen and the keys typed then reach no page; Enter on the
# floating button brings the window back with the keyboard in the page.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768

unmapped() { ! mapped "$1"; }
ended() { ! kill -0 "$1" 2>/dev/null; }

# Iconifies the window through the window manager (what Alt+Space, Iconify does), types,
# closes the program and checks that page A kept only what was typed before.
iconify_and_type() {
    local mode="$1" app="$X_WORK/mode$1" wid
    app_install "$app"
    printf '[Main]\nMinimizeTo=%s\n' "$mode" >"$app/qly.ini"
    app_start "$app"
    wid=$(wait_window Quillery) || fail "mode $mode: no main window"
    wait_for sh -c "[ \"\$(xdotool getactivewindow 2>/dev/null)\" = $wid ]" ||
        fail "mode $mode: main window never active"
    xdotool type --delay 5 "seen"
    xdotool windowminimize "$wid"
    wait_for unmapped "$wid" || fail "mode $mode: main window still mapped after iconify"
    [ "$mode" = 2 ] && { floating_button >/dev/null || fail "mode $mode: no floating button"; }
    xdotool type --delay 5 "QQQ"
    mapped "$wid" && fail "mode $mode: main window mapped again after typing"
    # Back by Enter on the floating button, which holds the focus, or by a second start; what
    # is typed then comes after "QQQ" on the same connection.
    if [ "$mode" = 2 ]; then
        xdotool key Return
    else
        "$app/qly" || fail "mode $mode: second start failed"
    fi
    # Under load the restore and the keys after it may take a while: wait up to a minute.
    wait_long mapped "$wid" || fail "mode $mode: second start did not restore"
    wait_for sh -c "[ \"\$(xdotool getactivewindow 2>/dev/null)\" = $wid ]" ||
        fail "mode $mode: restored window not active"
    xdotool type --delay 5 "back"
    wait_long _page_has "$wid" seenback || fail "mode $mode: the text typed around it is lost"
    kill -TERM "$APP_PID"
    wait_for ended "$APP_PID" || fail "mode $mode: no exit"
    grep -q seenback "$app/rtf/A.rtf" || fail "mode $mode: the text typed around it is lost"
    grep -q QQQ "$app/rtf/A.rtf" && fail "mode $mode: keys typed while minimised reached the page"
    pass "mode $mode: a keyboard iconify unmaps the window and the page takes no keys"
}

iconify_and_type 2
tray_start || fail "trayer did not start"
iconify_and_type 1
