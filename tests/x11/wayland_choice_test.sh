#!/usr/bin/env bash
# A Wayland session with XWayland (weston's headless back-end): with no platform chosen the
# program runs through X11, where staying on top and placing windows work; a platform the user
# chose stands.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
X_WORK="$(mktemp -d /tmp/qly-wl.XXXXXX)"
export XDG_RUNTIME_DIR="$X_WORK/run"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 ||
    fail "Qt's Wayland platform is not installed (qt6-wayland)"

weston --backend=headless-backend.so --socket=wl-test --xwayland --idle-time=0 \
    --log="$X_WORK/weston.log" >/dev/null 2>&1 &
_x_pids+=($!)
display=""
for _ in $(seq 200); do
    [ -f "$X_WORK/weston.log" ] &&
        display="$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p;T;q' "$X_WORK/weston.log")"
    [ -n "$display" ] && [ -S "$XDG_RUNTIME_DIR/wl-test" ] && break
    sleep 0.05
done
[ -n "$display" ] || fail "weston did not start XWayland: $(cat "$X_WORK/weston.log")"
export WAYLAND_DISPLAY=wl-test DISPLAY="$display" XDG_SESSION_TYPE=wayland
unset QT_QPA_PLATFORM

dir="$X_WORK/app"
app_install "$dir"
app_start "$dir"
wait_window Quillery >/dev/null || fail "no X11 window: $(cat "$X_WORK/app.log")"
pass "with both displays and no platform chosen, the window is on X11"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" || fail "the program did not end"

# The client library logs its requests: the window is on Wayland once it has a title there.
WAYLAND_DEBUG=1 QT_QPA_PLATFORM=wayland app_start "$dir"
wait_file_has "$X_WORK/app.log" 'xdg_toplevel@[0-9]+\.set_title' ||
    fail "the program did not show a window on Wayland: $(grep -v '^\[' "$X_WORK/app.log" | head)"
kill -0 "$APP_PID" 2>/dev/null || fail "the program did not run on Wayland: $(cat "$X_WORK/app.log")"
if wait_window Quillery >/dev/null; then fail "an X11 window although Wayland was chosen"; fi
pass "the user's choice of Wayland stands"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" || fail "the program did not end"
