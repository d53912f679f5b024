#!/usr/bin/env bash
# Takes screenshots of the main window under Xvfb with openbox, at device pixel ratios 1 and 2:
#   main-window-dprN.png   the window with its default title bar
#   note-menu-dprN.png     the main menu open with the Note submenu
#   format-menu-dprN.png   the Format submenu with "Align Center" checked
#   edit-menu-dprN.png     the Edit submenu, Cut and Copy disabled with nothing selected
#   page-selector-dprN.png the page selector open
# Usage: scripts/screenshots.sh [build-dir] [output-dir]   (output: build-dir/screenshots)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
export QLY_SOURCE_DIR="$here"
export QLY_BINARY_DIR="$(cd "${1:-$here/build}" && pwd)"
out="$(mkdir -p "${2:-$QLY_BINARY_DIR/screenshots}" && cd "${2:-$QLY_BINARY_DIR/screenshots}" && pwd)"
. "$here/tests/x11/lib.sh"

# Clicks at a point of the window given in logical pixels.
click_at() {
    local wid="$1" x="$2" y="$3" scale="$4" gx gy gw gh
    read -r gx gy gw gh < <(win_geometry "$wid")
    xdotool mousemove $((gx + x * scale)) $((gy + y * scale)) click 1
}

# Saves the part of the screen around the window, with room for its menus.
shoot() {
    local wid="$1" file="$2" scale="$3" gx gy gw gh
    read -r gx gy gw gh < <(win_geometry "$wid")
    local x=$((gx - 10)) y=$((gy - 10))
    [ "$x" -lt 0 ] && x=0
    [ "$y" -lt 0 ] && y=0
    import -window root -crop "$((gw + 340 * scale))x$((gh + 20 * scale))+$x+$y" +repage "$file"
    echo "wrote $file"
}

run_at_scale() {
    local scale="$1" screen="$2"
    x_start "$screen"
    local dir="$X_WORK/app"
    app_install "$dir"
    printf '[Main]\nLeft=%d\nTop=%d\n' $((30 * scale)) $((30 * scale)) >"$dir/qly.ini"
    QT_SCALE_FACTOR="$scale" app_start "$dir"
    local wid
    wid="$(wait_window Quillery)" || fail "no window at scale $scale"
    sleep 1
    shoot "$wid" "$out/main-window-dpr$scale.png" "$scale"

    # Some text, centred through the Format submenu.
    click_at "$wid" 200 150 "$scale"
    xdotool type --delay 20 "Quillery keeps 26 pages of notes."
    xdotool key ctrl+a
    click_at "$wid" 14 14 "$scale" # sbStart
    sleep 0.5
    xdotool key Down Down Down Right
    sleep 0.3
    # The submenu opens on "Font..."; separators are skipped.
    xdotool key Down Down Down Return
    sleep 0.3

    # The Note submenu.
    click_at "$wid" 14 14 "$scale"
    sleep 0.5
    xdotool key Down Right
    sleep 0.5
    shoot "$wid" "$out/note-menu-dpr$scale.png" "$scale"
    xdotool key Escape Escape
    sleep 0.3

    # The Format submenu, "Align Center" checked.
    click_at "$wid" 14 14 "$scale"
    sleep 0.5
    xdotool key Down Down Down Right
    sleep 0.5
    shoot "$wid" "$out/format-menu-dpr$scale.png" "$scale"
    xdotool key Escape Escape
    sleep 0.3

    # The Edit submenu with nothing selected.
    click_at "$wid" 200 150 "$scale"
    click_at "$wid" 14 14 "$scale"
    sleep 0.5
    xdotool key Down Down Right
    sleep 0.5
    shoot "$wid" "$out/edit-menu-dpr$scale.png" "$scale"
    xdotool key Escape Escape
    sleep 0.3

    # The page selector open: nine letters and a scroll bar.
    click_at "$wid" 66 12 "$scale" # cbNotes
    sleep 0.5
    shoot "$wid" "$out/page-selector-dpr$scale.png" "$scale"
    xdotool key Escape
    _x_cleanup
    _x_pids=()
}

( QT_SCALE_FACTOR= run_at_scale 1 1024x768 )
( run_at_scale 2 1600x1200 )
