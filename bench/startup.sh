#!/usr/bin/env bash
# Start-up time of Quillery against a minimal Qt 6 program showing a 400x368 QTextEdit, side
# by side in one run under Xvfb with openbox: exec to the main window being mapped.
# Usage: bench/startup.sh [RUNS]   (needs a built tree in build/)
set -euo pipefail
runs="${1:-30}"
. "$(dirname "$0")/xsession.sh" startup

# A page of about SIZE bytes of varied text, as RTF written by Quillery's own writer.
make_app() {
    local dir="$1" size="$2"
    mkdir -p "$dir/rtf"
    cp "$src/build/Quillery/qly" "$dir/qly"
    python3 "$src/bench/make_page.py" text "$size" 7 >"$dir/page.txt"
    "$bin/qly-rtf" convert "$dir/page.txt" "$dir/rtf/A.rtf"
    cp "$dir/rtf/A.rtf" "$dir/A.rtf.orig"
}
make_app "$work/small" 10000
make_app "$work/large" 1000000
echo "page files: $(stat -c %s "$work/small/rtf/A.rtf") and $(stat -c %s "$work/large/rtf/A.rtf") bytes"

measure() { "$bin/qly-startup-probe" "$@"; }
: >"$work/qt"; : >"$work/small.ms"; : >"$work/large.ms"
for i in $(seq "$runs"); do
    measure "$bin/minimal-textedit" >>"$work/qt"
    cp "$work/small/A.rtf.orig" "$work/small/rtf/A.rtf"
    measure "$work/small/qly" >>"$work/small.ms"
    cp "$work/large/A.rtf.orig" "$work/large/rtf/A.rtf"
    measure "$work/large/qly" >>"$work/large.ms"
done
qt=$(median "$work/qt"); small=$(median "$work/small.ms"); large=$(median "$work/large.ms")
echo "median over $runs runs, exec to window mapped:"
echo "  minimal Qt QTextEdit:        $qt ms"
echo "  Quillery, 10 KB page:        $small ms  ($(awk -v a="$small" -v b="$qt" 'BEGIN{printf "%.2f", a/b}')x)"
echo "  Quillery, 1 MB page:         $large ms  ($(awk -v a="$large" -v b="$qt" 'BEGIN{printf "%.2f", a/b}')x)"
