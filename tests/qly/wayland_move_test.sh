#!/usr/bin/env bash
# On Wayland (no DISPLAY for the program) the title bar moves the window through the
# compositor's own move (startSystemMove): dragged by its grip, the page lands elsewhere on
# weston's output.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
command -v weston >/dev/null || { echo "SKIP: weston is not installed (scripts/deps.sh --test)"; exit 77; }
bare_x_start
app_install_folder "$X_WORK/apps"
app="$APP_FOLDER"
# Page A in pure red (colours are stored as 0xBBGGRR), which weston's desktop has nowhere.
printf '[Colors]\nA=255\n' >"$app/qly.ini"
weston_x11_start qly-wlm
read -r ox oy ow oh < <(win_geometry "$WESTON_WINDOW")

env -u DISPLAY -u QT_QPA_PLATFORM WAYLAND_DISPLAY=qly-wlm WAYLAND_DEBUG=client "$app/qly" \
    >"$X_WORK/app.log" 2>&1 &
APP_PID=$!
_x_pids+=($APP_PID)
wait_file_has "$X_WORK/app.log" 'wl_surface@[0-9]+\.attach\(wl_buffer' || fail "no window on Wayland"

# Where page A's red is on weston's output, as "X Y W H"; empty while it is nowhere.
page_box() {
    import -window "$WESTON_WINDOW" "$X_WORK/out.png"
    convert "$X_WORK/out.png" -fill black +opaque 'rgb(255,0,0)' -format '%@' info: |
        sed -n 's/^\([0-9]*\)x\([0-9]*\)+\([0-9]*\)+\([0-9]*\)$/\3 \4 \1 \2/p' |
        awk '$3 > 50 && $4 > 50'
}
_drawn() { [ -n "$(page_box)" ]; }
wait_for _drawn || fail "the page is not drawn on weston's output"
read -r bx by bw bh < <(page_box)

# The grip is the title bar's middle, at the top of the page-coloured box.
gx=$((ox + bx + bw / 2))
gy=$((oy + by + 6))
xdotool mousemove $((gx - 5)) $((gy - 5)) mousemove "$gx" "$gy"
wait_file_has "$X_WORK/app.log" 'wl_pointer@[0-9]+\.motion' || fail "the pointer does not reach the program"
xdotool mousedown 1
wait_file_has "$X_WORK/app.log" 'xdg_toplevel@[0-9]+\.move\(' || fail "no move asked of the compositor"
for step in 1 2 3 4 5 6 7 8; do xdotool mousemove $((gx - step * 10)) $((gy + step * 8)); done
xdotool mouseup 1
moved() {
    [ "$(page_box)" = "$((bx - 80)) $((by + 64)) $bw $bh" ]
}
wait_for moved || fail "the window did not move with the pointer: from $bx $by to $(page_box)"
import -window root "$QLY_BINARY_DIR/screenshots/wayland/moved.png" 2>/dev/null || true
pass "the title bar's grip moves the window through the compositor, by 80 px left and 64 down"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" || fail "the program did not end"
