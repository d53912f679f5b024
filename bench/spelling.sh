#!/usr/bin/env bash
# Spell checking's cost, side by side in one run:
#   the engines (Hunspell against Nuspell) on a 10,000-word page, checking and suggesting;
#   a whole 10 KB page through the checker (cold and warm);
#   the memory one loaded dictionary takes (each in a process of its own);
#   the program started on a 1 MB page (exec to the window mapped: main-thread processor time
#     and clock time) and that page opened (Next to the page painted) and typing at its end (key to repaint) with
#     spelling on (en_US) against off, interleaved, medians of RUNS (default 11).
# Usage: bench/spelling.sh [RUNS]   (needs a built tree in build/, hunspell-en-us installed)
set -euo pipefail
runs="${1:-11}"
. "$(dirname "$0")/xsession.sh" spelling

"$bin/bench_spelling" --benchmark_filter='Engine|CheckPage'
for code in en_US de_DE; do
    "$bin/bench_spelling" --benchmark_filter="LoadDictionary/$code" 2>/dev/null | grep LoadDictionary
done

# Two program folders with the same two 1 MB pages (a misspelling in about every other line),
# one checking spelling, one not.
for mode in on off; do
    mkdir -p "$work/$mode/rtf"
    cp "$src/build/Quillery/qly" "$work/$mode/qly"
done
for page in A B; do
    python3 "$src/bench/make_page.py" text 1000000 "$([ $page = A ] && echo 7 || echo 8)" |
        sed 's/ idea / idae /; s/ remember / remebmer /' >"$work/$page.txt"
    "$bin/qly-rtf" convert "$work/$page.txt" "$work/on/rtf/$page.rtf"
    cp "$work/on/rtf/$page.rtf" "$work/off/rtf/$page.rtf"
done
printf '[Spelling]\nCheckAsYouType=1\nLanguages=en_US\n' >"$work/on/qly.ini"
printf '[Spelling]\nCheckAsYouType=0\n' >"$work/off/qly.ini"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.3f", a/b}'; }
: >"$work/switch-on"; : >"$work/switch-off"; : >"$work/type-on"; : >"$work/type-off"
: >"$work/cpu-on"; : >"$work/cpu-off"; : >"$work/wall-on"; : >"$work/wall-off"
for i in $(seq "$runs"); do
    # Each goes first every other time: neither pays for the other's warm caches.
    order="on off"; [ $((i % 2)) = 0 ] && order="off on"
    for mode in $order; do
        "$bin/qly-startup-probe" -c "$work/$mode/qly" >"$work/start"
        awk '{print $1}' "$work/start" >>"$work/cpu-$mode"
        awk '{print $2}' "$work/start" >>"$work/wall-$mode"
        "$bin/qly-largepage-probe" "$work/$mode" switch 3 | awk '{print $2}' >>"$work/switch-$mode"
        "$bin/qly-largepage-probe" "$work/$mode" type 10 | awk '{print $2}' >>"$work/type-$mode"
    done
done
max() { sort -n "$1" | tail -n1; }
son=$(median "$work/switch-on"); soff=$(median "$work/switch-off")
ton=$(median "$work/type-on"); toff=$(median "$work/type-off")
con=$(median "$work/cpu-on"); coff=$(median "$work/cpu-off")
won=$(median "$work/wall-on"); woff=$(median "$work/wall-off")
echo "started on a 1 MB page, exec to mapped, median ms: processor on $con, off $coff, ratio $(ratio "$con" "$coff");" \
     "clock on $won, off $woff, ratio $(ratio "$won" "$woff")"
echo "1 MB page opened (Next to painted), median ms: spelling on $son, off $soff, ratio $(ratio "$son" "$soff")"
echo "typing at the end of a 1 MB page, key to paint, median ms: on $ton, off $toff, ratio $(ratio "$ton" "$toff");" \
     "worst: on $(max "$work/type-on"), off $(max "$work/type-off")"
