#!/usr/bin/env bash
# Large pages, side by side with Qt's own QTextEdit in one run under Xvfb with openbox,
# interleaved, medians of RUNS (default 11):
#   start-up, exec to the main window mapped: (a) a minimal Qt program showing 1 MB of text in
#     a 400x368 QTextEdit through setPlainText, (b) Quillery with that text as its page,
#     (c) the minimal program empty, (d) Quillery with a 10 KB page;
#   page switch between two 1 MB pages (Next to the page painted) against setPlainText of the
#     same text plus the save of the page left, and typing at the end (key press to repaint);
#   exit with a 1 MB page shown (SIGTERM to the process gone, the page saved);
#   the 300,000-run page: window mapped, SIGTERM at several moments to the exit, file unchanged;
#   a 10 MB page: the longest the window stood still while it opened, scrolled to its end, saved;
#     typing on it while recovery copies are made (a key due to its repaint).
# Usage: bench/largepage.sh [RUNS]   (needs a built tree in build/)
set -euo pipefail
runs="${1:-11}"
. "$(dirname "$0")/xsession.sh" largepage

# A folder with the program and its page A (and B) written by Quillery's own writer.
make_app() {
    local dir="$1"
    mkdir -p "$dir/rtf"
    cp "$src/build/Quillery/qly" "$dir/qly"
}
page() { # KIND ARGS... OUT.rtf: a page through the writer
    local out="${*: -1}"
    python3 "$src/bench/make_page.py" "${@:1:$#-1}" >"$out.txt"
    if [ "$1" = runs ]; then "$bin/qly-rtf" roundtrip "$out.txt" "$out"; else "$bin/qly-rtf" convert "$out.txt" "$out"; fi
}
make_app "$work/small"; page text 10000 7 "$work/small/A.orig"
make_app "$work/large"; page text 1000000 7 "$work/large/A.orig"
page text 1000000 8 "$work/large/B.orig"
make_app "$work/runs"; page runs 300000 "$work/runs/A.orig"
make_app "$work/log"; page log 10000000 "$work/log/A.orig"
for d in small large runs log; do cp "$work/$d/A.orig" "$work/$d/rtf/A.rtf"; done
cp "$work/large/B.orig" "$work/large/rtf/B.rtf"
echo "pages: 10 KB text $(stat -c %s "$work/small/A.orig") B RTF; 1 MB text $(stat -c %s "$work/large/A.orig.txt") B," \
     "$(stat -c %s "$work/large/A.orig") B RTF; 300,000 runs $(stat -c %s "$work/runs/A.orig") B RTF;" \
     "10 MB log $(stat -c %s "$work/log/A.orig") B RTF"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a/b}'; }
probe() { "$bin/qly-startup-probe" "$@"; }

# --- Start-up, interleaved.
: >"$work/a"; : >"$work/b"; : >"$work/c"; : >"$work/d"
for i in $(seq "$runs"); do
    probe -c "$bin/minimal-textedit" "$work/large/A.orig.txt" >>"$work/a"
    cp "$work/large/A.orig" "$work/large/rtf/A.rtf"
    probe -c "$work/large/qly" >>"$work/b"
    probe -c "$bin/minimal-textedit" >>"$work/c"
    cp "$work/small/A.orig" "$work/small/rtf/A.rtf"
    probe -c "$work/small/qly" >>"$work/d"
done
# Column 2: the time on the clock; column 1: the main thread's processor time by the map.
column() { awk -v c="$2" '{print $c}' "$work/$1" >"$work/$1.$2"; median "$work/$1.$2"; }
a=$(column a 2); b=$(column b 2); c=$(column c 2); d=$(column d 2)
ac=$(column a 1); bc=$(column b 1); cc=$(column c 1); dc=$(column d 1)
echo "start-up, exec to window mapped, median of $runs (on the clock; main thread's processor time):"
echo "  (a) minimal Qt QTextEdit, 1 MB setPlainText: $a ms; $ac ms"
echo "  (b) Quillery, 1 MB page:                     $b ms = $(ratio "$b" "$a") x (a) (goal <= 1.5); $bc ms = $(ratio "$bc" "$ac") x"
echo "  (c) minimal Qt QTextEdit, empty:             $c ms; $cc ms"
echo "  (d) Quillery, 10 KB page:                    $d ms = $(ratio "$d" "$c") x (c) (goal <= 1.25); $dc ms = $(ratio "$dc" "$cc") x"

# --- Page switch and typing, in-process beside Qt's editor.
cp "$work/large/A.orig" "$work/large/rtf/A.rtf"
"$bin/qly-largepage-probe" "$work/large" switch "$runs" >"$work/switch"
awk '{print $2}' "$work/switch" >"$work/sq"; awk '{print $3}' "$work/switch" >"$work/sqt"
sq=$(median "$work/sq"); sqt=$(median "$work/sqt")
echo "page switch between two 1 MB pages, Next to painted, median of $runs:"
echo "  Quillery: $sq ms; Qt setPlainText + save of the page left: $sqt ms = $(ratio "$sq" "$sqt") x  (goal <= 1.5, <= 120 ms)"
cp "$work/large/A.orig" "$work/large/rtf/A.rtf"
"$bin/qly-largepage-probe" "$work/large" type "$((runs * 3))" | awk '{print $2}' >"$work/type"
echo "typing at the end of the 1 MB page, key press to repaint, median of $((runs * 3)): $(median "$work/type") ms  (goal <= 16)"

# --- Exit with a settled 1 MB page: the page is saved.
: >"$work/exit"
for i in $(seq "$runs"); do
    cp "$work/large/A.orig" "$work/large/rtf/A.rtf"
    probe -t 4 "$work/large/qly" | awk '{print $2}' >>"$work/exit"
done
echo "exit with the 1 MB page shown (SIGTERM to gone, page and settings written), median of $runs: $(median "$work/exit") ms"

# --- The 300,000-run page: SIGTERM at several moments after the map.
: >"$work/rmap"; : >"$work/rexit"; changed=0
for i in $(seq "$runs"); do
    after=$(awk -v i="$i" 'BEGIN{printf "%.2f", (i - 1) * 0.25}')
    cp "$work/runs/A.orig" "$work/runs/rtf/A.rtf"
    read -r m e < <(probe -t "$after" "$work/runs/qly")
    echo "$m" >>"$work/rmap"; echo "$e" >>"$work/rexit"
    cmp -s "$work/runs/A.orig" "$work/runs/rtf/A.rtf" || changed=$((changed + 1))
done
echo "300,000-run page, SIGTERM 0 to $(awk -v r="$runs" 'BEGIN{print (r - 1) * 0.25}') s after the map:"
echo "  mapped: median $(median "$work/rmap") ms, longest $(sort -n "$work/rmap" | tail -n1) ms (goal <= 2000)"
echo "  SIGTERM to exit: median $(median "$work/rexit") ms, longest $(sort -n "$work/rexit" | tail -n1) ms (goal <= 1000)"
echo "  page file changed in $changed of $runs runs (goal 0)"

# --- The 10 MB page.
cp "$work/log/A.orig" "$work/log/rtf/A.rtf"
echo "10 MB page, longest stand-still of the event loop (goal <= 1000 ms):"
"$bin/qly-largepage-probe" "$work/log" big 3 | sed 's/^freeze /  /; s/$/ ms/'
echo "10 MB page, typing while the recovery copies of long typing are made (a key every 50 ms for"
echo "25 s; goal: no key waits over 16 ms):"
"$bin/qly-largepage-probe" "$work/log" recovery 25 |
    awk '{print "  key to paint: median " $2 " ms, longest " $3 " ms, " $4 " keys, " $5 " copies written"}'
