#!/usr/bin/env bash
# Start-up time of Quillery against a minimal Qt 6 program showing a 400x368 QTextEdit, side
# by side in one run under Xvfb with openbox: exec to the main window being mapped.
# Usage: bench/startup.sh [RUNS]   (needs a built tree in build/)
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
bin="$src/build/bin"
runs="${1:-30}"
work="$(mktemp -d /tmp/qly-startup.XXXXXX)"
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT

Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$work/display" 2>/dev/null &
for i in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb
mkdir -m 700 "$work/run"
openbox --sm-disable >/dev/null 2>&1 &
sleep 1

# A page of about SIZE bytes of varied text, as RTF written by Quillery's own writer.
make_app() {
    local dir="$1" size="$2"
    mkdir -p "$dir/rtf"
    cp "$src/build/Quillery/qly" "$dir/qly"
    python3 - "$size" >"$dir/page.txt" <<'PY'
import random, sys
random.seed(7)
words = "note page quill ink letter idea plan list meeting call remember buy write read".split()
out, n = [], 0
while n < int(sys.argv[1]):
    line = " ".join(random.choice(words) for _ in range(random.randint(4, 14)))
    out.append(line); n += len(line) + 2
print("\n".join(out))
PY
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
median() { sort -n "$1" | awk '{a[NR]=$1} END{print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
qt=$(median "$work/qt"); small=$(median "$work/small.ms"); large=$(median "$work/large.ms")
echo "median over $runs runs, exec to window mapped:"
echo "  minimal Qt QTextEdit:        $qt ms"
echo "  Quillery, 10 KB page:        $small ms  ($(awk -v a="$small" -v b="$qt" 'BEGIN{printf "%.2f", a/b}')x)"
echo "  Quillery, 1 MB page:         $large ms  ($(awk -v a="$large" -v b="$qt" 'BEGIN{printf "%.2f", a/b}')x)"
