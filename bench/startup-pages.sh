#!/usr/bin/env bash
# Start-up with 26 non-empty pages: a reference build of Quillery against this tree's, side by
# side in one run under Xvfb with openbox, alternating, exec to the main window being mapped:
# the time on the clock and the main thread's processor time (which other work on the machine
# changes far less). The pages are 10 KB each; qly.ini names page A. A third row starts this
# tree's build with page A kept at its middle (section Positions): what putting a page back
# where it was left costs.
# Usage: bench/startup-pages.sh REFERENCE_QLY [RUNS]   (needs a built tree in build/)
set -euo pipefail
ref="${1:?usage: $0 REFERENCE_QLY [RUNS]}"
runs="${2:-30}"
. "$(dirname "$0")/xsession.sh" startup-pages

make_app() {
    local dir="$1" program="$2" letter i=0
    mkdir -p "$dir/rtf"
    cp "$program" "$dir/qly"
    for letter in {A..Z}; do
        i=$((i + 1))
        python3 "$src/bench/make_page.py" text 10000 "$i" >"$work/page.txt"
        "$bin/qly-rtf" convert "$work/page.txt" "$dir/rtf/$letter.rtf"
    done
    printf '[Main]\nActivePage=0\n' >"$dir/qly.ini"
}
make_app "$work/ref" "$ref"
make_app "$work/new" "$src/build/Quillery/qly"
make_app "$work/kept" "$src/build/Quillery/qly"
printf '[Positions]\nA=5000,5000,4900\n' >>"$work/kept/qly.ini"
for d in ref new kept; do cp "$work/$d/qly.ini" "$work/$d/qly.ini.orig"; done

measure() {
    cp "$work/$1/qly.ini.orig" "$work/$1/qly.ini"
    "$bin/qly-startup-probe" -c "$work/$1/qly" >>"$work/$1.ms"
}
for i in $(seq "$runs"); do
    for d in ref new kept; do measure "$d"; done
done
column() { awk -v c="$2" '{print $c}' "$1" >"$1.$2"; median "$1.$2"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.3f", a/b}'; }
for d in ref new kept; do
    eval "${d}_wall=\$(column \"$work/$d.ms\" 2) ${d}_cpu=\$(column \"$work/$d.ms\" 1)"
done
echo "26 pages of 10 KB; median over $runs runs, exec to window mapped:"
echo "                        clock ms  main thread ms"
printf '  reference:            %8s  %14s\n' "$ref_wall" "$ref_cpu"
printf '  this tree:            %8s  %14s\n' "$new_wall" "$new_cpu"
printf '  this tree, A kept:    %8s  %14s\n' "$kept_wall" "$kept_cpu"
echo "  this tree / reference: clock $(ratio "$new_wall" "$ref_wall")x," \
    "main thread $(ratio "$new_cpu" "$ref_cpu")x"
echo "  A kept / reference:    clock $(ratio "$kept_wall" "$ref_wall")x," \
    "main thread $(ratio "$kept_cpu" "$ref_cpu")x"
