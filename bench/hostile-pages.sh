#!/usr/bin/env bash
# Hostile pages (bench/make_hostile.py), each through the editor's path (`qly-rtf roundtrip`)
# and through the program under Xvfb with openbox: seconds and the largest resident size
# (/usr/bin/time -v), the page's text and every picture's bytes checked to come back. With a
# second build tree given, the same runs of its qly-rtf-view and its program go beside ours,
# interleaved.
# Then, for the four large PNGs: the program's processor use while idle and a key's time to
# the repaint.
# Usage: bench/hostile-pages.sh [REFERENCE_BUILD_DIR]   (needs a built tree in build/)
set -euo pipefail
ref="${1:-}"
. "$(dirname "$0")/xsession.sh" hostile
kinds="jpeg20 jpeg100 wmf1000 png4 edges1000 edges3000 edges10000 rows10000 cells500"

# "<seconds> <MB>" of a command, capped at 8 GB and 120 s.
measure() {
    (ulimit -v 8000000; /usr/bin/time -v -o "$work/measure" timeout 120 "$@" >/dev/null 2>&1) || true
    awk '/Elapsed \(wall clock\)/{n=split($NF,t,":"); s=(n==3)?t[1]*3600+t[2]*60+t[3]:t[1]*60+t[2]}
         /Maximum resident/{m=$NF/1024} /Exit status/{e=$NF}
         END{printf "%.2f s %4.0f MB%s", s, m, (e!=0?" (exit " e ")":"")}' "$work/measure"
}
# Whether the page's text and every picture's hex bytes are in the page written back.
kept() {
    local text
    text=$(cmp -s <("$bin/qly-rtf" text "$1") <("$bin/qly-rtf" text "$2") && echo text || echo "TEXT LOST")
    python3 - "$1" "$2" "$text" <<'PY'
import re, sys
hexes = lambda p: [re.sub(r"\s", "", h) for h in re.findall(r"\{\\pict[^ \n]*\s([0-9a-fA-F\s]+)\}", open(p).read())]
a, b = hexes(sys.argv[1]), "".join(hexes(sys.argv[2]))
lost = sum(1 for h in a if h not in b)
print("%s, %d pictures %s" % (sys.argv[3], len(a), "kept" if not lost else "%d LOST" % lost))
PY
}

# "<ms> ms to map, <MB> MB" of a program folder's qly showing its page A, capped at 8 GB.
mapped() {
    local map mem
    map=$( (ulimit -v 8000000; /usr/bin/time -v -o "$work/time" "$bin/qly-startup-probe" -t 1 "$1") | awk '{print $1; exit}' || true)
    mem=$(awk '/Maximum resident/{printf "%.0f", $NF/1024}' "$work/time")
    echo "${map:-?} ms to map, $mem MB"
}

mkdir -p "$work/app/rtf" "$work/ref/rtf"
cp "$src/build/Quillery/qly" "$work/app/qly"
[ -n "$ref" ] && [ -x "$ref/Quillery/qly" ] && cp "$ref/Quillery/qly" "$work/ref/qly"
echo "kind: size | qly-rtf roundtrip [reference] | program, exec to window mapped [reference]"
for k in $kinds; do
    python3 "$src/bench/make_hostile.py" "$k" "$work/$k.rtf"
    line="$k: $(( $(stat -c %s "$work/$k.rtf") / 1024 )) KB | $(measure "$bin/qly-rtf" roundtrip "$work/$k.rtf" "$work/$k.out")"
    line+=" ($(kept "$work/$k.rtf" "$work/$k.out"))"
    [ -n "$ref" ] && line+=" [ref $(measure "$ref/bin/qly-rtf-view" "$work/$k.rtf" "$work/$k.ref")]"
    cp "$work/$k.rtf" "$work/app/rtf/A.rtf"
    line+=" | $(mapped "$work/app/qly") ($(kept "$work/$k.rtf" "$work/app/rtf/A.rtf") after exit)"
    if [ -n "$ref" ] && [ -x "$ref/Quillery/qly" ]; then
        cp "$work/$k.rtf" "$work/ref/rtf/A.rtf"
        line+=" [ref $(mapped "$work/ref/qly")]"
    fi
    echo "$line"
done

# The four large PNGs shown: processor time over 5 s of idling, then a key to the repaint.
cp "$work/png4.rtf" "$work/app/rtf/A.rtf"
"$work/app/qly" & pid=$!
xdotool search --sync --pid "$pid" --onlyvisible >/dev/null
sleep 2
t0=$(awk '{print $14 + $15}' "/proc/$pid/stat")
sleep 5
t1=$(awk '{print $14 + $15}' "/proc/$pid/stat")
kill "$pid"; wait "$pid" || true
echo "png4 idle: $(awk -v a="$t0" -v b="$t1" -v hz="$(getconf CLK_TCK)" 'BEGIN{printf "%.1f", (b-a)/hz/5*100}') % of a core over 5 s (goal < 2)"
cp "$work/png4.rtf" "$work/app/rtf/A.rtf"; cp "$work/png4.rtf" "$work/app/rtf/B.rtf"
"$bin/qly-largepage-probe" "$work/app" type 15 | awk '{print $2}' >"$work/type"
echo "png4 key to repaint, median of 15: $(median "$work/type") ms, max $(sort -n "$work/type" | tail -1) ms (goal <= 16)"
