#!/usr/bin/env bash
# Find across pages, side by side in one run:
#  - LibreOffice makes 26 page files A.rtf .. Z.rtf of about 1.3 MB each from varied
#    generated text, and 26 of about 9 KB (kept in BUILD/bench-find-data for the next run);
#    bench/find_pages.py makes 26 of about 10 MB from the 1.3 MB ones; only Z holds the word;
#  - hyperfine: qly-find (the program's search over the page folder) against
#    `unrtf --text FILE | grep -qi WORD` for each of the 26 files;
#  - for each size, interleaved rounds (medians of ROUNDS, default 15): a first search in a new
#    process against `cat` of the same files, and a search repeated in one process (the pages'
#    text kept, as the find dialog keeps it) against `grep -il` over their plain text;
#  - hyperfine: `qly-rtf text` against `unrtf --text` on one 1.3 MB page, and a program that
#    only loads Qt Core (the floor of any start); medians of 60 runs;
#  - bench_pagesearch (Google Benchmark) on the 1.3 MB files: the whole search, and its parts.
# Usage: bench/find-vs-unrtf.sh [BUILD_DIR]
#   (default: build; needs qly-find, qly-rtf, bare-qt-core and bench_pagesearch)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
bin="$build/bin"
data="$build/bench-find-data"
pages="$data/rtf"
word=zanzibarquill
for tool in soffice unrtf hyperfine python3 grep awk; do
    command -v "$tool" >/dev/null || { echo "find-vs-unrtf: $tool is missing (scripts/deps.sh --test)" >&2; exit 1; }
done
[ -x "$bin/qly-find" ] && [ -x "$bin/qly-rtf" ] && [ -x "$bin/bench_pagesearch" ] &&
    [ -x "$bin/bare-qt-core" ] ||
    { echo "find-vs-unrtf: build qly-find, qly-rtf, bare-qt-core and bench_pagesearch first" >&2; exit 1; }
rounds=${ROUNDS:-15}

# Varied text: every page its own mix of words, formatting and paragraph lengths; the word
# searched for stands once, capitalised, near the end of page Z.
# make_sources DIR PARAGRAPHS
make_sources() {
    python3 - "$1" "$word" "$2" <<'PY'
import random, sys
out, word, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
LAT = ("meeting agenda budget review garden recipe flour sugar butter oven minutes call "
       "travel ticket station museum letter invoice draft chapter verse notes idea plan "
       "café naïve résumé déjà façade über straße smørrebrød").split()
CYR = "заметки страница встреча список покупок молоко хлеб письмо".split()
GR = "σημειώσεις σελίδα συνάντηση κατάλογος γάλα ψωμί".split()
CJK = ["日本語", "会議", "買い物", "手紙", "노트", "笔记"]
for n, letter in enumerate("ABCDEFGHIJKLMNOPQRSTUVWXYZ"):
    rnd = random.Random(1000 + n)
    paras = []
    for p in range(count):
        parts = []
        for _ in range(rnd.randint(6, 22)):
            pool = rnd.choice([LAT] * 6 + [CYR, GR, CJK])
            w = " ".join(rnd.choice(pool) for _ in range(rnd.randint(2, 8)))
            if rnd.random() < 0.05:
                w += " %d.%02d" % (rnd.randint(1, 999), rnd.randint(0, 99))
            k = rnd.randint(0, 11)
            if k == 0: w = "<b>%s</b>" % w
            elif k == 1: w = "<i>%s</i>" % w
            elif k == 2: w = '<span style="color:#%06x">%s</span>' % (rnd.randint(0, 0xFFFFFF), w)
            elif k == 3: w = '<span style="background:#ffff00">%s</span>' % w
            elif k == 4: w = '<span style="font-family:\'DejaVu Serif\'; font-size:%dpt">%s</span>' % (rnd.choice([9, 11, 14, 18]), w)
            elif k == 5: w = "<u>%s</u>" % w
            parts.append(w)
        if letter == "Z" and p == count * 35 // 36:
            parts.append("<b>%s</b>" % word.capitalize())
        align = rnd.choice(["left"] * 4 + ["center", "right", "justify"])
        paras.append('<p style="text-align:%s">%s</p>' % (align, " ".join(parts)))
    with open("%s/%s.html" % (out, letter), "w", encoding="utf-8") as f:
        f.write('<!DOCTYPE html><html><head><meta charset="utf-8"></head><body>\n')
        f.write("\n".join(paras))
        f.write("\n</body></html>\n")
PY
}

# convert PARAGRAPHS OUT: 26 page files of LibreOffice into OUT.
convert() {
    rm -rf "$data/src" "$2"
    mkdir -p "$data/src" "$2"
    make_sources "$data/src" "$1"
    (cd "$data/src" && soffice "-env:UserInstallation=file://$data/lo-profile" --headless \
        --infilter="HTML (StarWriter)" --convert-to "rtf:Rich Text Format" --outdir "$2" \
        ./*.html >/dev/null 2>&1)
}
if [ ! -s "$pages/Z.rtf" ]; then
    echo "Making 26 page files of about 1.3 MB with LibreOffice (once) ..."
    convert 720 "$pages"
fi
if [ ! -s "$data/9k/Z.rtf" ]; then
    echo "Making 26 page files of about 9 KB with LibreOffice (once) ..."
    convert 3 "$data/9k"
fi
if [ ! -s "$data/10m/Z.rtf" ]; then
    echo "Making 26 page files of about 10 MB from those of 1.3 MB (once) ..."
    python3 "$root/bench/find_pages.py" "$pages" "$data/10m" 7
fi
total=0
for f in "$pages"/*.rtf; do total=$((total + $(stat -c %s "$f"))); done
echo "== 26 page files: $((total / 26 / 1024)) KiB each on average, $((total / 1048576)) MiB in all"
echo "   qly-find finds: $("$bin/qly-find" "$pages" "$word")"
found=""
set +o pipefail # grep -q stops reading at the first hit, which unrtf sees as a broken pipe
for f in "$pages"/*.rtf; do unrtf --text "$f" 2>/dev/null | grep -qi "$word" && found+="$(basename "$f" .rtf)"; done
set -o pipefail
echo "   unrtf|grep finds: $found"

echo
echo "== Whole search of the 26 pages for '$word' (hyperfine, side by side)"
unrtf_all="for f in $pages/*.rtf; do unrtf --text \"\$f\" 2>/dev/null | grep -qi $word; done; true"
hyperfine --warmup 1 --runs 10 --export-csv "$data/find.hyperfine.csv" \
    -n "qly-find" "$bin/qly-find $pages $word" \
    -n "unrtf|grep" "bash -c '$unrtf_all'"
# Wall-clock means, and the processor time (user + system) that a busy machine does not inflate.
awk -F, '$1 == "qly-find" { q = $2; qc = $5 + $6 } $1 == "unrtf|grep" { u = $2; uc = $5 + $6 }
    END { printf "qly-find %.3f s, unrtf|grep %.3f s: qly-find is %.1fx faster\n", q, u, u / q
          printf "processor time: qly-find %.3f s, unrtf|grep %.3f s: %.1fx less\n", qc, uc, uc / qc
          printf "targets: at most 0.5 s: %s; at least 5x faster: %s\n",
              (q <= 0.5 ? "met" : "MISSED"), (u / q >= 5 ? "met" : "MISSED") }' "$data/find.hyperfine.csv"


# median: the middle of the numbers read, one a line.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
now_ms() { echo "${EPOCHREALTIME/[.,]/}" | awk '{ printf "%.3f", $1 / 1000 }'; }
# children_ms: the processor time (user + system) of the children ended so far, in
# milliseconds, into $cpu_ms; in this shell (`times` reports a subshell's own) and without
# starting a process, whose time would count. `times` writes 1m2.345s.
to_ms() { local sec=${1#*m}; sec=${sec%s}; echo $((${1%%m*} * 60000 + 10#${sec/./})); }
children_ms() {
    local user system
    times >"$data/times.txt"
    { read -r _; read -r user system; } <"$data/times.txt"
    cpu_ms=$(($(to_ms "$user") + $(to_ms "$system")))
}

# sizes NAME FOLDER: first and repeated search against cat and grep -il, interleaved.
sizes() {
    local name=$1 folder=$2 txt="$data/txt-$1" f
    rm -rf "$txt"
    mkdir -p "$txt"
    for f in "$folder"/*.rtf; do "$bin/qly-rtf" text "$f" >"$txt/$(basename "$f" .rtf).txt"; done
    local rtf_bytes txt_bytes
    rtf_bytes=$(cat "$folder"/*.rtf | wc -c)
    txt_bytes=$(cat "$txt"/*.txt | wc -c)
    local first=() firstcpu=() catt=() again=() grept=() t0 t1 c0 c1 reply kept=""
    cat "$folder"/*.rtf "$txt"/*.txt >/dev/null # the page cache warm
    coproc SERVE { "$bin/qly-find" --serve "$folder"; }
    echo "$word" >&"${SERVE[1]}" && read -r reply <&"${SERVE[0]}" # fills the kept text
    local keeping
    keeping=$(echo "$reply" | awk '{ print $2 }') # a first search as the find dialog runs it
    for ((i = 0; i < rounds; i++)); do
        children_ms; c0=$cpu_ms # no process of the shell's own between the two
        t0=${EPOCHREALTIME/[.,]/}; "$bin/qly-find" "$folder" "$word" >/dev/null; t1=${EPOCHREALTIME/[.,]/}
        children_ms; c1=$cpu_ms
        first+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { print (b - a) / 1000 }')")
        firstcpu+=("$(awk -v a="$c0" -v b="$c1" 'BEGIN { print b - a }')")
        t0=$(now_ms); cat "$folder"/*.rtf >/dev/null; t1=$(now_ms)
        catt+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')")
        echo "$word" >&"${SERVE[1]}" && read -r reply <&"${SERVE[0]}"
        again+=("$(echo "$reply" | awk '{ print $2 }')")
        kept=$(echo "$reply" | awk '{ print $4 " MB kept, " $3 " files read again" }')
        t0=$(now_ms); grep -il "$word" "$txt"/*.txt >/dev/null; t1=$(now_ms)
        grept+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')")
    done
    exec {SERVE[1]}>&-
    wait "$SERVE_PID" 2>/dev/null || true
    local mf mfc mc ma mg
    mf=$(printf '%s\n' "${first[@]}" | median); mc=$(printf '%s\n' "${catt[@]}" | median)
    mfc=$(printf '%s\n' "${firstcpu[@]}" | median)
    ma=$(printf '%s\n' "${again[@]}" | median); mg=$(printf '%s\n' "${grept[@]}" | median)
    awk -v n="$name" -v rb="$rtf_bytes" -v tb="$txt_bytes" -v mf="$mf" -v mc="$mc" -v ma="$ma" \
        -v mg="$mg" -v k="$kept" -v r="$rounds" -v mfc="$mfc" -v kf="$keeping" \
        -v load="$(cut -d' ' -f1 /proc/loadavg)" 'BEGIN {
        printf "%-6s %6.1f MB RTF, %6.1f MB text (UTF-8); medians of %d interleaved rounds; load %s\n", n, rb / 1e6, tb / 1e6, r, load
        printf "       first search %8.2f ms, cat %7.2f ms: %5.2fx (target <= 5x: %s); processor time %.0f ms\n", mf, mc, mf / mc, (mf <= 5 * mc ? "met" : "MISSED"), mfc
        printf "       first search keeping the pages%s text, as the find dialog does: %.2f ms (one run)\n", "\047", kf
        printf "       repeated     %8.2f ms, grep -il %7.2f ms: %5.2fx (target <= 2x: %s); %s\n", ma, mg, ma / mg, (ma <= 2 * mg ? "met" : "MISSED"), k }'
}

echo
echo "== First search (a new process) and repeated search (one process), by page size"
sizes "9 KB" "$data/9k"
sizes "1.3 MB" "$pages"
sizes "10 MB" "$data/10m"

echo
echo "== RTF to plain text of one 1.3 MB page written by LibreOffice (hyperfine, side by side;"
echo "   bare-qt-core: a program that links Qt Core and does nothing, the floor of a start)"
page="$pages/M.rtf"
hyperfine -N --warmup 5 --runs 60 --export-csv "$data/text.hyperfine.csv" \
    -n "qly-rtf text" "$bin/qly-rtf text $page" \
    -n "unrtf --text" "unrtf --text $page" \
    -n "bare-qt-core" "$bin/bare-qt-core"
# Medians: a run slowed by another program on the machine counts no more than any other.
awk -F, '$1 == "qly-rtf text" { q = $4; qc = $5 + $6 } $1 == "unrtf --text" { u = $4; uc = $5 + $6 }
    $1 == "bare-qt-core" { b = $4; bc = $5 + $6 }
    END { printf "qly-rtf text %.2f ms, unrtf --text %.1f ms (medians): %.1fx faster (target >= 20x: %s)\n",
              q * 1000, u * 1000, u / q, (u / q >= 20 ? "met" : "MISSED")
          printf "processor time (means): qly-rtf text %.1f ms, unrtf --text %.1f ms: %.1fx less\n",
              qc * 1000, uc * 1000, uc / qc
          printf "bare-qt-core %.2f ms (processor %.1f ms): the start is %.0f%% of qly-rtf text\n",
              b * 1000, bc * 1000, 100 * b / q }' "$data/text.hyperfine.csv"
echo
echo "== bench_pagesearch on the same files"
QLY_FIND_PAGES="$pages/" "$bin/bench_pagesearch" --benchmark_min_time=1
