#!/usr/bin/env bash
# Find across pages, side by side in one run:
#  - LibreOffice makes 26 page files A.rtf .. Z.rtf of about 1.3 MB each from varied
#    generated text (kept in BUILD/bench-find-data for the next run); only Z holds the word;
#  - hyperfine: qly-find (the program's search over the page folder) against
#    `unrtf --text FILE | grep -qi WORD` for each of the 26 files;
#  - bench_pagesearch (Google Benchmark) on the same files: the whole search, and its parts.
# Usage: bench/find-vs-unrtf.sh [BUILD_DIR]   (default: build; needs qly-find, bench_pagesearch)
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
[ -x "$bin/qly-find" ] && [ -x "$bin/bench_pagesearch" ] ||
    { echo "find-vs-unrtf: build qly-find and bench_pagesearch first" >&2; exit 1; }

# Varied text: every page its own mix of words, formatting and paragraph lengths; the word
# searched for stands once, capitalised, near the end of page Z.
make_sources() {
    python3 - "$data/src" "$word" <<'PY'
import random, sys
out, word = sys.argv[1], sys.argv[2]
LAT = ("meeting agenda budget review garden recipe flour sugar butter oven minutes call "
       "travel ticket station museum letter invoice draft chapter verse notes idea plan "
       "café naïve résumé déjà façade über straße smørrebrød").split()
CYR = "заметки страница встреча список покупок молоко хлеб письмо".split()
GR = "σημειώσεις σελίδα συνάντηση κατάλογος γάλα ψωμί".split()
CJK = ["日本語", "会議", "買い物", "手紙", "노트", "笔记"]
for n, letter in enumerate("ABCDEFGHIJKLMNOPQRSTUVWXYZ"):
    rnd = random.Random(1000 + n)
    paras = []
    for p in range(720):
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
        if letter == "Z" and p == 700:
            parts.append("<b>%s</b>" % word.capitalize())
        align = rnd.choice(["left"] * 4 + ["center", "right", "justify"])
        paras.append('<p style="text-align:%s">%s</p>' % (align, " ".join(parts)))
    with open("%s/%s.html" % (out, letter), "w", encoding="utf-8") as f:
        f.write('<!DOCTYPE html><html><head><meta charset="utf-8"></head><body>\n')
        f.write("\n".join(paras))
        f.write("\n</body></html>\n")
PY
}

if [ ! -s "$pages/Z.rtf" ]; then
    echo "Making 26 page files with LibreOffice (once) ..."
    rm -rf "$data/src" "$pages"
    mkdir -p "$data/src" "$pages"
    make_sources
    (cd "$data/src" && soffice "-env:UserInstallation=file://$data/lo-profile" --headless \
        --infilter="HTML (StarWriter)" --convert-to "rtf:Rich Text Format" --outdir "$pages" \
        ./*.html >/dev/null 2>&1)
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

echo
echo "== bench_pagesearch on the same files"
QLY_FIND_PAGES="$pages/" "$bin/bench_pagesearch" --benchmark_min_time=1
