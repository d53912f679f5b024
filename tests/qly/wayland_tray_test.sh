#!/usr/bin/env bash
# Minimised to the tray on Wayland (no DISPLAY for the program): the icon goes to the
# StatusNotifierItem host when one is on the session bus, else the floating button shows.
# Weston's X11 back-end passes the mouse to the program; an Xfce panel on the same X server
# hosts the items over D-Bus, as on a Wayland desktop with such a tray.
if [ -z "${QLY_SNI_SESSION:-}" ]; then
    home="$(mktemp -d /tmp/qly-wltray-home.XXXXXX)"
    status=0
    HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
        QLY_SNI_SESSION=1 dbus-run-session -- bash "$0" || status=$?
    for _ in $(seq 100); do
        grep -lsz '^QLY_SNI_SESSION=1$' /proc/[0-9]*/environ >/dev/null 2>&1 || break
        sleep 0.05
    done
    rm -rf "$home"
    exit $status
fi
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
command -v weston >/dev/null || { echo "SKIP: weston is not installed (scripts/deps.sh --test)"; exit 77; }
command -v xfce4-panel >/dev/null || { echo "SKIP: xfce4-panel is not installed (scripts/deps.sh --test)"; exit 77; }
bare_x_start
app_install_folder "$X_WORK/apps"
app="$APP_FOLDER"
printf '[Main]\nMinimizeTo=1\nTitleHeight=25\n' >"$app/qly.ini"

# Its window at 100,100 stays clear of the panel that comes later at the top of the screen.
weston_x11_start qly-wlt --shell=kiosk-shell.so
output="$WESTON_WINDOW"

items() {
    dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:RegisteredStatusNotifierItems 2>/dev/null
}
has_item() { items | grep -q 'StatusNotifierItem'; }
toplevels() { grep -cE 'xdg_surface@[0-9]+\.get_toplevel\(' "$X_WORK/app.log"; }

# Starts the program on Wayland, minimises it by its title bar's button (the kiosk shell gives
# it the whole output) and waits until its window is gone from the output.
start_and_minimise() {
    env -u DISPLAY -u QT_QPA_PLATFORM WAYLAND_DISPLAY=qly-wlt WAYLAND_DEBUG=client \
        "$app/qly" >"$X_WORK/app.log" 2>&1 &
    APP_PID=$!
    _x_pids+=($APP_PID)
    wait_file_has "$X_WORK/app.log" 'wl_surface@[0-9]+\.attach\(wl_buffer' ||
        fail "no window on Wayland: $(grep -v '^\[' "$X_WORK/app.log" | tail -n 5)"
    TOPLEVELS_BEFORE=$(toplevels)
    # Weston learns where the pointer is from its motion in weston's window: it is moved
    # there first, then onto the button, and clicked once the program has seen it move.
    local x y w h
    read -r x y w h < <(win_geometry "$output")
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) mousemove $((x + w / 3)) $((y + h / 3))
    wait_file_has "$X_WORK/app.log" 'wl_pointer@[0-9]+\.motion' || fail "the pointer does not reach the program"
    click_minimize "$output"
    wait_file_has "$X_WORK/app.log" 'xdg_toplevel@[0-9]+\.destroy\(' || fail "the window stayed"
}

# No tray host on the bus: the floating button comes, a window of its own.
start_and_minimise
wait_for sh -c "[ \$(grep -cE 'xdg_surface@[0-9]+\.get_toplevel\(' '$X_WORK/app.log') -gt $TOPLEVELS_BEFORE ]" ||
    fail "no floating button without a tray"
has_item && fail "an item without a tray host"
pass "no tray on Wayland: minimised to the floating button"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" || fail "the program did not end"

# With the panel's StatusNotifierItem host: the icon goes there.
xfce4-panel >"$X_WORK/panel.log" 2>&1 &
_x_pids+=($!)
bus_has_watcher() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.ListNames | grep -q '"org.kde.StatusNotifierWatcher"'
}
for _ in $(seq 10); do wait_for bus_has_watcher && break; done
bus_has_watcher || fail "the panel offers no StatusNotifierWatcher: $(cat "$X_WORK/panel.log")"
start_and_minimise
for _ in $(seq 3); do wait_for has_item && break; done
has_item || fail "no item registered with the watcher: $(items)"
pass "a StatusNotifierItem host on the bus: minimised to its tray on Wayland"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" || fail "the program did not end"
