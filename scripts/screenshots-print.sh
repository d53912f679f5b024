#!/usr/bin/env bash
# Screenshots of the print preview under Xvfb with openbox and a private CUPS queue, at device
# pixel ratios 1 and 2, with margins and frame on, in millimetres, after a drag:
#   print-preview-dprN.png
# Usage: scripts/screenshots-print.sh [build-dir] [output-dir]   (output: build-dir/screenshots)
# Needs root for the scheduler's mount namespace.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
export QLY_SOURCE_DIR="$here"
export QLY_BINARY_DIR="$(cd "${1:-$here/build}" && pwd)"
out="$(mkdir -p "${2:-$QLY_BINARY_DIR/screenshots}" && cd "${2:-$QLY_BINARY_DIR/screenshots}" && pwd)"
. "$here/tests/x11/lib.sh"
. "$here/tests/x11/cups_lib.sh"
trap '_x_cleanup; cups_cleanup' EXIT

run_at_scale() {
    local scale="$1" screen="$2" gx gy gw gh wid pid
    x_start "$screen"
    cups_start QlyPDF
    local dir="$X_WORK/app"
    app_install "$dir"
    mkdir -p "$dir/rtf"
    for i in $(seq 1 60); do echo "Line $i of a page of notes"; done >"$dir/rtf/A.rtf"
    printf '[Main]\nLeft=%d\nTop=%d\nStayOnTop=0\n[Print]\nInches=0\nCenterHorz=0\nCenterVert=0\nXOffset=20\nYOffset=25\nLeft=%d\nTop=%d\nWidth=640\nHeight=480\n' \
        $((30 * scale)) $((30 * scale)) $((40 * scale)) $((40 * scale)) >"$dir/qly.ini"
    QT_SCALE_FACTOR="$scale" app_start "$dir"
    wid="$(wait_window Quillery)" || fail "no window at scale $scale"
    sleep 1
    # Main menu, Note, Print...
    read -r gx gy gw gh < <(win_geometry "$wid")
    xdotool mousemove $((gx + 14 * scale)) $((gy + 14 * scale)) click 1
    sleep 0.5
    xdotool key Down Right Down Return
    pid="$(wait_window 'Print preview')" || fail "no preview at scale $scale"
    sleep 1
    # Drag the image a little to the right and down.
    read -r gx gy gw gh < <(win_geometry "$pid")
    local cx=$((gx + gw * 30 / 100)) cy=$((gy + gh * 35 / 100))
    xdotool mousemove "$cx" "$cy" mousedown 1
    for s in 1 2 3 4 5; do xdotool mousemove $((cx + 6 * s * scale)) $((cy + 4 * s * scale)); sleep 0.05; done
    xdotool mouseup 1
    sleep 0.5
    import -window root -crop "${gw}x${gh}+${gx}+${gy}" +repage "$out/print-preview-dpr$scale.png"
    echo "wrote $out/print-preview-dpr$scale.png"
    _x_cleanup
    cups_cleanup
    _x_pids=()
}

run_at_scale 1 1024x768
run_at_scale 2 2048x1536
