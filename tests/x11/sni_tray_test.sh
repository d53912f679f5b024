#!/usr/bin/env bash
# The tray of desktops that host StatusNotifierItems over D-Bus (KDE Plasma, Xfce, Cinnamon),
# with a real Xfce panel on a session bus of the test's own: minimised to the tray, the icon
# appears in the panel, a click on it restores, and its menu offers "Restore" and "Exit".
if [ -z "${QLY_SNI_SESSION:-}" ]; then
    home="$(mktemp -d /tmp/qly-sni-home.XXXXXX)"
    # The panel and the settings daemon it starts on the bus keep their files in this home.
    status=0
    HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
        QLY_SNI_SESSION=1 dbus-run-session -- bash "$0" || status=$?
    # The bus's services end after it, still writing in that home until they do.
    for _ in $(seq 100); do
        grep -lsz '^QLY_SNI_SESSION=1$' /proc/[0-9]*/environ >/dev/null 2>&1 || break
        sleep 0.05
    done
    rm -rf "$home"
    exit $status
fi
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768

bus_names() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.ListNames
}
watcher_items() {
    dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:RegisteredStatusNotifierItems
}
# The program's icon in the status area of the panel at the top (its right half; the task list
# on the left shows the window's icon too): the first strongly red pixel, as "X Y".
icon_in_panel() {
    import -window root -crop "512x40+512+0" -depth 8 txt:- 2>/dev/null |
        awk -F'[,:() ]+' '/^[0-9]/ { if ($3 > 180 && $4 < 90 && $5 < 90) { print $1 + 512, $2; exit } }'
}
has_icon() { [ -n "$(icon_in_panel)" ]; }
no_icon() { [ -z "$(icon_in_panel)" ]; }

xfce4-panel >"$X_WORK/panel.log" 2>&1 &
_x_pids+=($!)
wait_for_bus() { bus_names | grep -q '"org.kde.StatusNotifierWatcher"'; }
for _ in $(seq 10); do wait_for wait_for_bus && break; done
wait_for_bus || fail "the panel offers no StatusNotifierWatcher: $(cat "$X_WORK/panel.log")"
# The panel's status area has registered as the host that shows the items.
host_registered() {
    dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:IsStatusNotifierHostRegistered 2>/dev/null | grep -q 'boolean true'
}
panel_shown() { xdotool search --onlyvisible --classname 'xfce4-panel' >/dev/null 2>&1; }
wait_for host_registered && wait_for panel_shown || fail "the panel's status area did not come up"

dir="$X_WORK/app"
app_install "$dir"
printf '[Main]\nMinimizeTo=1\n' >"$dir/qly.ini"
app_start "$dir"
wid=$(wait_window Quillery) || fail "no main window"
wait_active "$wid" || fail "the main window has no focus"
has_icon && fail "a red icon in the status area before minimising"
click_minimize "$wid"
wait_for sh -c "! xwininfo -id $wid | grep -q IsViewable" || fail "the window stayed mapped"
for _ in $(seq 3); do wait_for has_icon && break; done
read -r ix iy < <(icon_in_panel) || fail "no icon in the panel: $(watcher_items)"
watcher_items | grep -q 'StatusNotifierItem' || fail "no item registered with the watcher"
import -window root -crop 1024x60+0+0 "$X_WORK/sni-tray.png"
pass "minimised: the icon shows in the Xfce panel at $ix,$iy"

xdotool mousemove "$ix" "$iy" click 1
wait_for mapped "$wid" || fail "a click on the icon did not restore"
for _ in $(seq 3); do wait_for no_icon && break; done
no_icon || fail "the icon stayed in the panel after restoring"
pass "a click on the icon restores the window"

# From the keyboard: Minimize by keys; a panel that takes the keys activates the item over
# D-Bus as a click does; and a second start of the program brings the window back too.
minimize_by_keys() {
    wait_active "$wid" || fail "the window has no focus before minimising"
    xdotool key --delay 50 shift+Tab shift+Tab space
    for _ in $(seq 3); do wait_for has_icon && break; done
    has_icon || fail "Minimize by keys showed no icon"
}
restored() { mapped "$wid" && [ "$(xdotool getactivewindow 2>/dev/null)" = "$wid" ] && no_icon; }
minimize_by_keys
item="$(watcher_items | grep -o '"[^"]*StatusNotifierItem[^"]*"' | head -n1 | tr -d '"')"
dbus-send --session --type=method_call --dest="${item%%/*}" /StatusNotifierItem \
    org.kde.StatusNotifierItem.Activate int32:0 int32:0
for _ in $(seq 3); do wait_for restored && break; done
restored || fail "the item's Activate did not restore the window with the focus"
minimize_by_keys
"$dir/qly" >"$X_WORK/second.log" 2>&1 || fail "the second start failed: $(cat "$X_WORK/second.log")"
for _ in $(seq 3); do wait_for restored && break; done
restored || fail "a second start did not restore the window from the tray"
pass "from the keyboard: the item's Activate and a second start restore from the tray"

# The item's menu as the panel reads it over D-Bus, then shown by a right click; its last
# entry ends the program.
wait_active "$wid" || fail "the restored window has no focus"
click_minimize "$wid"
for _ in $(seq 3); do wait_for has_icon && break; done
read -r ix iy < <(icon_in_panel) || fail "no icon the second time"
item="$(watcher_items | grep -o '"[^"]*StatusNotifierItem[^"]*"' | head -n1 | tr -d '"')"
service="${item%%/*}"
menu_path="$(dbus-send --session --print-reply --dest="$service" /StatusNotifierItem \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem string:Menu |
    sed -n 's/.*object path "\([^"]*\)".*/\1/p')"
layout="$(dbus-send --session --print-reply --dest="$service" "$menu_path" \
    com.canonical.dbusmenu.GetLayout int32:0 int32:-1 array:string:label)"
labels="$(echo "$layout" | grep -A1 '"label"' | sed -n 's/.*string "\(.*\)".*/\1/p' | grep -v '^label$' | tr '\n' '|')"
[ "$labels" = "Restore|Exit|" ] || fail "the menu reads '$labels'"
before="$(xdotool search --onlyvisible --name . 2>/dev/null | sort)"
xdotool mousemove "$ix" "$iy" click 3
# The menu: a new window on the screen, below the panel.
new_menu() {
    local w x y ww wh
    for w in $(comm -13 <(echo "$before") <(xdotool search --onlyvisible --name . 2>/dev/null | sort)); do
        read -r x y ww wh < <(win_geometry "$w")
        [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ "$wh" -ge 30 ] && { echo "$w"; return 0; }
    done
    return 1
}
menu=""
for _ in $(seq 60); do
    menu="$(new_menu)" && break
    sleep 0.05
done
[ -n "$menu" ] || fail "a right click showed no menu"
import -window root -crop 1024x200+0+0 "$X_WORK/sni-menu.png"
read -r mx my mw mh < <(win_geometry "$menu")
xdotool mousemove $((mx + mw / 2)) $((my + mh - 10)) click 1
wait_for sh -c "! kill -0 $APP_PID 2>/dev/null" || fail "Exit in the panel's menu did not end the program"
pass "the panel's menu shows Restore and Exit (${mw}x${mh}); Exit ends the program"
[ -n "${QLY_SHOTS:-}" ] && cp "$X_WORK/sni-tray.png" "$X_WORK/sni-menu.png" "$QLY_SHOTS/"
true
