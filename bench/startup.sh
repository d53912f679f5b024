#!/usr/bin/env bash
# Start-up time of Quillery against a minimal Qt 6 program showing a 400x368 QTextEdit, side
# by side in one run under Xvfb with openbox: exec to the main window being mapped. Quillery
# runs as built (on the system's Qt) and as installed (`cmake --install`: on its private
# runtime in lib/), each with a 10 KB page; the built one also with a 1 MB page.
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
cmake --install "$src/build" --prefix "$work/installed" >/dev/null
installed="$work/installed/Quillery"
mkdir -p "$installed/rtf"
cp "$work/small/A.rtf.orig" "$installed/A.rtf.orig"
echo "page files: $(stat -c %s "$work/small/rtf/A.rtf") and $(stat -c %s "$work/large/rtf/A.rtf") bytes"

# Each line: the main thread's processor time by the map, then the time on the clock.
measure() { "$bin/qly-startup-probe" -c "$@"; }
: >"$work/qt"; : >"$work/small.ms"; : >"$work/large.ms"; : >"$work/installed.ms"
for i in $(seq "$runs"); do
    measure "$bin/minimal-textedit" >>"$work/qt"
    cp "$work/small/A.rtf.orig" "$work/small/rtf/A.rtf"
    measure "$work/small/qly" >>"$work/small.ms"
    cp "$work/large/A.rtf.orig" "$work/large/rtf/A.rtf"
    measure "$work/large/qly" >>"$work/large.ms"
    cp "$installed/A.rtf.orig" "$installed/rtf/A.rtf"
    measure "$installed/qly" >>"$work/installed.ms"
done
column() { awk -v c="$2" '{print $c}' "$1" >"$1.$2"; median "$1.$2"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a/b}'; }
qt=$(column "$work/qt" 2); small=$(column "$work/small.ms" 2); large=$(column "$work/large.ms" 2)
qtc=$(column "$work/qt" 1); smallc=$(column "$work/small.ms" 1); largec=$(column "$work/large.ms" 1)
inst=$(column "$work/installed.ms" 2); instc=$(column "$work/installed.ms" 1)
echo "median over $runs runs, exec to window mapped (on the clock; main thread's processor time):"
echo "  minimal Qt QTextEdit:        $qt ms; $qtc ms"
echo "  Quillery, 10 KB page:        $small ms ($(ratio "$small" "$qt")x); $smallc ms ($(ratio "$smallc" "$qtc")x)"
echo "  Quillery, 1 MB page:         $large ms ($(ratio "$large" "$qt")x); $largec ms ($(ratio "$largec" "$qtc")x)"
echo "  installed, 10 KB page:       $inst ms ($(ratio "$inst" "$qt")x); $instc ms ($(ratio "$instc" "$qtc")x)"
echo "  the runtime's cost:          installed / built, 10 KB page: $(ratio "$inst" "$small")x; $(ratio "$instc" "$smallc")x"
echo "  installed folder:            $(du -sm "$installed" | cut -f1) MB, of which lib/ $(du -sm "$installed/lib" | cut -f1) MB"
