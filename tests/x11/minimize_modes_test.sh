#!/usr/bin/env bash
# Minimising to the taskbar, the tray and the floating button, and every way back.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768

in_client_list() { xprop -root _NET_CLIENT_LIST | grep -qi "$(printf '0x%x' "$1")"; }
# The program's popup menu, once it shows: a visible window that is neither of the others.
popup_menu() {
    local i w
    for i in $(seq 60); do
        for w in $(xdotool search --onlyvisible --classname '^qly$' 2>/dev/null); do
            case " $* " in *" $w "*) continue ;; esac
            echo "$w"; return 0
        done
        sleep 0.05
    done
    return 1
}
settings_value() { sed -n "s/^$2=//p" "$1/qly.ini" | tr -d '\r'; }
ended() { ! kill -0 "$1" 2>/dev/null; }
shows() { [ "$(editor_text "$1")" = "$2" ]; }

# Mode 0: iconic, with its taskbar entry; a second start brings it back.
app0="$X_WORK/mode0"
app_install "$app0"
printf '[Main]\nMinimizeTo=0\n' >"$app0/qly.ini"
app_start "$app0"
wid=$(wait_window Quillery) || fail "mode 0: no main window"
wait_drawn "$wid" || fail "mode 0: main window not drawn"
click_minimize "$wid"
wait_for has_state "$wid" _NET_WM_STATE_HIDDEN || fail "mode 0: window not iconic"
xprop -id "$wid" WM_STATE | grep -q Iconic || fail "mode 0: WM_STATE not iconic"
in_client_list "$wid" || fail "mode 0: no taskbar entry"
has_state "$wid" _NET_WM_STATE_SKIP_TASKBAR && fail "mode 0: window skips the taskbar"
"$app0/qly" || fail "mode 0: second start failed"
wait_for mapped "$wid" || fail "mode 0: second start did not restore"
has_state "$wid" _NET_WM_STATE_HIDDEN && fail "mode 0: still hidden after the second start"
pass "mode 0: iconic with a taskbar entry, restored by a second start"
kill -TERM "$APP_PID"; wait_exit "$APP_PID" 5 || fail "mode 0: no exit"

# Mode 1 without a tray: the floating button stands in.
app1="$X_WORK/mode1"
app_install "$app1"
printf '[Main]\nMinimizeTo=1\n' >"$app1/qly.ini"
app_start "$app1"
wid=$(wait_window Quillery) || fail "mode 1: no main window"
wait_drawn "$wid" || fail "mode 1: main window not drawn"
click_minimize "$wid"
button=$(floating_button) || fail "mode 1 without a tray: no floating button"
wait_for sh -c "! xwininfo -id $wid | grep -q IsViewable" || fail "mode 1: main window still shown"
"$app1/qly" || fail "mode 1: second start failed"
wait_for mapped "$wid" || fail "mode 1 without a tray: second start did not restore"
mapped "$button" && fail "mode 1 without a tray: button still shown after restoring"
pass "mode 1 without a tray falls back to the floating button; a second start restores"

# Mode 1 with a tray (the same copy: a tray that appears later is used from then on).
tray_start || fail "trayer did not start"
wait_drawn "$wid" || fail "mode 1: main window not drawn after the restore"
click_minimize "$wid"
read -r ix iy < <(tray_icon_centre) || fail "mode 1: no tray icon"
wait_for sh -c "! xwininfo -id $wid | grep -q IsViewable" || fail "mode 1: main window still mapped"
in_client_list "$wid" && fail "mode 1: main window still has a taskbar entry"
floating_button >/dev/null 2>&1 && fail "mode 1 with a tray: floating button shown"
pass "mode 1: tray icon at $ix,$iy, no mapped main window, no taskbar entry"

xdotool mousemove "$ix" "$iy" click 1
wait_for mapped "$wid" || fail "mode 1: left click did not restore"
tray_icon_centre >/dev/null 2>&1 && fail "mode 1: icon still in the tray after restoring"
pass "mode 1: a left click on the icon restores"

# Right click: the menu, without restoring; its first entry restores, its last one exits.
wait_drawn "$wid" || fail "mode 1: main window not drawn after the left click"
click_minimize "$wid"
read -r ix iy < <(tray_icon_centre) || fail "mode 1: no tray icon the second time"
icon=$(xdotool search --onlyvisible --classname '^qly$' | head -n1)
xdotool mousemove "$ix" "$iy" click 3
menu=$(popup_menu "$icon") || fail "mode 1: right click showed no menu"
# The click is handled by the time its menu shows.
mapped "$wid" && fail "mode 1: right click restored the window"
read -r mx my mw mh < <(win_geometry "$menu")
wait_ink "$mx" "$my" "$mw" "$mh" || fail "mode 1: the menu is not drawn"
import -window root "$X_WORK/tray-menu.png"
xdotool mousemove $((mx + mw / 2)) $((my + 12)) click 1
wait_for mapped "$wid" || fail "mode 1: Restore in the menu did not restore"
pass "mode 1: a right click opens the menu (${mw}x${mh}) and Restore restores"

xdotool type --delay 5 "kept by exit"
wait_for shows "$wid" 'kept by exit' || fail "mode 1: typing did not reach the page"
click_minimize "$wid"
read -r ix iy < <(tray_icon_centre) || fail "mode 1: no tray icon the third time"
xdotool mousemove "$ix" "$iy" click 3
menu=$(popup_menu "$icon") || fail "mode 1: no menu the second time"
read -r mx my mw mh < <(win_geometry "$menu")
wait_ink "$mx" "$my" "$mw" "$mh" || fail "mode 1: the menu is not drawn the second time"
xdotool mousemove $((mx + mw / 2)) $((my + mh - 12)) click 1
wait_for ended "$APP_PID" || fail "mode 1: Exit did not end the program"
grep -q 'kept by exit' "$app1/rtf/A.rtf" || fail "mode 1: Exit did not save the page"
[ "$(settings_value "$app1" Width)" = 400 ] || fail "mode 1: Exit did not write the settings"
[ "$(settings_value "$app1" Plimsa)" = 0 ] || fail "mode 1: settings incomplete"
pass "mode 1: Exit in the tray menu ends the program and saves page and settings"
[ -n "${QLY_SHOTS:-}" ] && cp "$X_WORK/tray-menu.png" "$QLY_SHOTS/"
true
