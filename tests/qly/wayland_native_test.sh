#!/usr/bin/env bash
# The installed folder on a Wayland compositor without XWayland, with no DISPLAY: the program
# runs natively on Wayland through its runtime's plugin, shows its window, takes typed keys,
# saves at SIGTERM, and shows Always on top as unavailable there.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
command -v weston >/dev/null || { echo "SKIP: weston is not installed (scripts/deps.sh --test)"; exit 77; }
X_WORK="$(mktemp -d /tmp/qly-wln.XXXXXX)"
export XDG_RUNTIME_DIR="$X_WORK/run" HOME="$X_WORK/user" XDG_CONFIG_HOME="$X_WORK/user/.config"
mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE QT_QPA_PLATFORMTHEME
shots="$QLY_BINARY_DIR/screenshots/wayland"
mkdir -p "$shots"

app_install_folder "$X_WORK/apps"
app="$APP_FOLDER"
printf 'page A' >"$app/rtf/A.rtf"

# Starts weston on SOCKET with the further options given; waits for its socket.
weston_start() {
    local socket="$1"
    shift
    weston --socket="$socket" --idle-time=0 --log="$X_WORK/$socket.log" "$@" >/dev/null 2>&1 &
    _x_pids+=($!)
    wait_for test -S "$XDG_RUNTIME_DIR/$socket" || fail "weston did not start: $(cat "$X_WORK/$socket.log")"
}
# Starts the installed program on SOCKET with the client's protocol log in app.log.
wayland_app_start() {
    env -u DISPLAY -u QT_QPA_PLATFORM WAYLAND_DISPLAY="$1" WAYLAND_DEBUG=client "$app/qly" >"$X_WORK/app.log" 2>&1 &
    APP_PID=$!
    _x_pids+=($APP_PID)
    # The window is there when the compositor has configured it and the program has answered
    # with a picture.
    wait_file_has "$X_WORK/app.log" 'xdg_toplevel@[0-9]+\.configure' &&
        wait_file_has "$X_WORK/app.log" 'wl_surface@[0-9]+\.attach\(wl_buffer' ||
        fail "no window on Wayland: $(grep -v '^\[' "$X_WORK/app.log" | tail -n 5)"
}

# A headless compositor: the window appears, through the runtime's own Wayland plugin.
weston_start qly-wl --backend=headless-backend.so
wayland_app_start qly-wl
grep -q " $app/lib/plugins/platforms/libqwayland-generic.so" "/proc/$APP_PID/maps" ||
    fail "not on the runtime's Wayland plugin"
grep -q '/libqxcb\.so' "/proc/$APP_PID/maps" && fail "the X11 plugin was loaded"
grep -qE 'xdg_toplevel@[0-9]+\.set_title\("Quillery"\)' "$X_WORK/app.log" ||
    fail "the window has no title on Wayland"
pass "no DISPLAY, a Wayland display: the window appears natively on Wayland"
kill -TERM "$APP_PID"
# Nothing typed yet: the saving at SIGTERM is shown with typing below.
wait_exit "$APP_PID" 2 || fail "the program did not end within 2 s of SIGTERM"

# Always on top, which the compositor keeps to itself, is shown as unavailable with the reason.
WAYLAND_DISPLAY=qly-wl "$QLY_BINARY_DIR/bin/qly-window-driver" options >"$X_WORK/options.log" 2>&1 &
driver=$!
_x_pids+=($driver)
wait_file_has "$X_WORK/options.log" '^always on top' || fail "the options dialog did not open"
grep -qx 'platform wayland' "$X_WORK/options.log" || fail "the dialog was not on Wayland: $(cat "$X_WORK/options.log")"
grep -q '^always on top unavailable|Not available on Wayland' "$X_WORK/options.log" ||
    fail "Always on top is offered on Wayland: $(cat "$X_WORK/options.log")"
kill "$driver"
pass "Always on top shows as unavailable on Wayland, with the reason"

# Keys: weston's headless back-end takes no input from outside, its X11 back-end takes the
# keys of its window on an X server. The program still has no DISPLAY: the keys reach it
# through the compositor alone.
x_start 1024x768
weston_start qly-wlx --backend=x11-backend.so --use-pixman --width=800 --height=600 \
    --shell=kiosk-shell.so
wait_file_has "$X_WORK/qly-wlx.log" 'x11 output .*window id [0-9]+' ||
    fail "weston made no window on the X server: $(cat "$X_WORK/qly-wlx.log")"
output="$(sed -n 's/.*x11 output .*window id \([0-9]*\).*/\1/p' "$X_WORK/qly-wlx.log" | head -n1)"
wayland_app_start qly-wlx
# The kiosk shell gives the program the whole output; the page fills its middle.
read -r ox oy ow oh <<<"$(win_geometry "$output")"
xdotool mousemove $((ox + ow / 2)) $((oy + oh / 2)) click 1
wait_file_has "$X_WORK/app.log" 'wl_keyboard@[0-9]+\.enter' || fail "the program did not get the keyboard"
xdotool key ctrl+End type --delay 30 ' typed on Wayland'
# Each key's press and release, Shift and Ctrl included, reach the program.
_keys_in() { [ "$(grep -cE 'wl_keyboard@[0-9]+\.key\(' "$X_WORK/app.log")" -ge 40 ]; }
wait_for _keys_in || fail "the keys did not reach the program"
import -window root "$shots/typed.png"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 2 || fail "the program did not end within 2 s of SIGTERM"
grep -q 'page A typed on Wayland' "$app/rtf/A.rtf" ||
    fail "the typed text was not saved: $(cat "$app/rtf/A.rtf")"
pass "keys typed through the compositor land in page A, saved at SIGTERM"
