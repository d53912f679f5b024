#!/bin/bash
# The font dialog's time to open against Qt's QFontDialog, on Xvfb with openbox: the two
# alternate, each in a fresh process, ROUNDS times (default 15); prints the medians.
# Usage: bench/fontdialog.sh [ROUNDS]
set -eu
. "$(dirname "$0")/xsession.sh" fontdialog
rounds="${1:-15}"
for i in $(seq "$rounds"); do
    for kind in ours qt; do
        "$bin/qly-fontdialog-probe" "$kind" 20 >"$work/out" 2>/dev/null
        awk -v k="$kind" '{print $2 > ("'"$work"'/" k "-" $1)}' "$work/out"
        cat "$work/$kind-first" >>"$work/$kind-firsts"
        cat "$work/$kind-again" >>"$work/$kind-agains"
        cat "$work/$kind-kib" >>"$work/$kind-kibs"
    done
done
printf '%-24s %10s %10s\n' "median of $rounds, ms" ours "QFontDialog"
printf '%-24s %10s %10s\n' "first open" "$(median "$work/ours-firsts")" "$(median "$work/qt-firsts")"
printf '%-24s %10s %10s\n' "later opens" "$(median "$work/ours-agains")" "$(median "$work/qt-agains")"
printf '%-24s %10s %10s\n' "KiB grown by first open" "$(median "$work/ours-kibs")" "$(median "$work/qt-kibs")"
