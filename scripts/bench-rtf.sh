#!/usr/bin/env bash
# RTF codec benchmarks, side by side in one run:
#  - LibreOffice makes a 1 MB and a 30 MB RTF file (and the HTML export of the 1 MB one)
#    from generated HTML; they are kept in BUILD/bench-rtf-data for the next run;
#  - `unrtf --text` against `qly-rtf text` on both files (hyperfine), and what each gets of
#    the non-Latin-1 text;
#  - bench_rtf (Google Benchmark): plain text, RTF -> model, model -> RTF, and RTF into a
#    QTextEdit against QTextEdit::setHtml of LibreOffice's HTML of the same file;
#  - peak memory of qly-rtf on the 30 MB file against its size.
# Usage: scripts/bench-rtf.sh [BUILD_DIR]   (default: build; needs bench_rtf and qly-rtf built)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
bin="$build/bin"
data="$build/bench-rtf-data"
mkdir -p "$data"
for tool in soffice unrtf hyperfine python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "bench-rtf: $tool is missing (scripts/deps.sh --test)" >&2; exit 1; }
done
[ -x "$bin/qly-rtf" ] && [ -x "$bin/bench_rtf" ] || { echo "bench-rtf: build qly-rtf and bench_rtf first" >&2; exit 1; }

office() { soffice "-env:UserInstallation=file://$data/lo-profile" --headless "$@" >/dev/null 2>&1; }

# make NAME PARAGRAPHS: NAME.rtf made by LibreOffice from generated HTML.
make_rtf() {
    local name=$1 paragraphs=$2
    [ -s "$data/$name.rtf" ] && return
    echo "Making $name.rtf with LibreOffice ..."
    python3 "$root/scripts/bench-rtf-gen.py" "$paragraphs" "$data/$name-source.html"
    (cd "$data" && office --infilter="HTML (StarWriter)" --convert-to "rtf:Rich Text Format" "$name-source.html")
    mv "$data/$name-source.rtf" "$data/$name.rtf"
}
make_rtf rtf1mb 510
make_rtf rtf30mb 15300 # LibreOffice needs some minutes for this one, once
if [ ! -s "$data/rtf1mb.html" ]; then
    (cd "$data" && office --convert-to "html:HTML (StarWriter)" rtf1mb.rtf)
fi
size() { stat -c %s "$1"; }
echo
echo "== Files"
printf '%-12s %10d bytes\n' rtf1mb.rtf "$(size "$data/rtf1mb.rtf")" rtf30mb.rtf "$(size "$data/rtf30mb.rtf")" \
    rtf1mb.html "$(size "$data/rtf1mb.html")"

echo
echo "== Non-Latin-1 text (Cyrillic word 'Привет', CJK word '日本語'): lines found"
for f in rtf1mb; do
    unrtf --text "$data/$f.rtf" 2>/dev/null > "$data/$f.unrtf.txt" || true
    "$bin/qly-rtf" text "$data/$f.rtf" > "$data/$f.qly.txt"
    printf '%-8s unrtf: %5d %5d   qly-rtf: %5d %5d\n' "$f" \
        "$(grep -c 'Привет' "$data/$f.unrtf.txt" || true)" "$(grep -c '日本語' "$data/$f.unrtf.txt" || true)" \
        "$(grep -c 'Привет' "$data/$f.qly.txt" || true)" "$(grep -c '日本語' "$data/$f.qly.txt" || true)"
done

echo
echo "== RTF to plain text: unrtf --text against qly-rtf text (hyperfine)"
for f in rtf1mb rtf30mb; do
    # unrtf needs minutes for the 30 MB file: two runs, no warm-up there.
    opts=(--warmup 2 --runs 10); [ $f = rtf30mb ] && opts=(--warmup 0 --runs 2)
    hyperfine -N -i "${opts[@]}" --export-json "$data/$f.hyperfine.json" \
        -n "unrtf $f" "unrtf --text $data/$f.rtf" \
        -n "qly-rtf $f" "$bin/qly-rtf text $data/$f.rtf"
    python3 - "$data/$f.hyperfine.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
u, q = r[0], r[1]
print("   %s: unrtf %.1f ms (user %.1f), qly-rtf %.1f ms (user %.1f): %.1fx faster (user time %.1fx)" % (
    u["command"].split()[-1].split("/")[-1], u["mean"] * 1e3, u["user"] * 1e3, q["mean"] * 1e3, q["user"] * 1e3,
    u["mean"] / q["mean"], u["user"] / max(q["user"], 1e-9)))
PY
done

echo
echo "== Google Benchmark (bytes_per_second: RTF bytes read, or written for WriteModel)"
QLY_BENCH_RTF_1MB="$data/rtf1mb.rtf" QLY_BENCH_RTF_30MB="$data/rtf30mb.rtf" \
QLY_BENCH_HTML_1MB="$data/rtf1mb.html" "$bin/bench_rtf" --benchmark_min_time=1 \
    --benchmark_out="$data/bench_rtf.json" --benchmark_out_format=json | grep -E '^(BM_|-|Benchmark)'
python3 - "$data/bench_rtf.json" <<'PY'
import json, sys
b = {x["name"]: x for x in json.load(open(sys.argv[1]))["benchmarks"]}
ours, qt = b.get("BM_RtfIntoTextEdit_1MB"), b.get("BM_QTextEditSetHtml_1MB")
if ours and qt and "cpu_time" in qt:
    print("   1 MB page into a QTextEdit: RTF %.1f ms, setHtml %.1f ms (CPU): %.1fx faster" % (
        ours["cpu_time"], qt["cpu_time"], qt["cpu_time"] / ours["cpu_time"]))
for n in ("BM_PlainText_30MB", "BM_ReadModel_30MB", "BM_WriteModel_30MB"):
    if n in b:
        print("   %s: %.0f MB/s" % (n, b[n]["bytes_per_second"] / 1e6))
PY

echo
echo "== Peak memory on the 30 MB file (maximum resident set size)"
small="$data/tiny.rtf"
printf '{\\rtf1 x\\par}' > "$small"
base=$(/usr/bin/time -f %M "$bin/qly-rtf" text "$small" 2>&1 >/dev/null | tail -1)
fsize=$(size "$data/rtf30mb.rtf")
for cmd in text convert; do
    out=/dev/null; [ $cmd = convert ] && out="$data/rtf30mb.out.rtf"
    if [ $cmd = text ]; then
        kb=$(/usr/bin/time -f %M "$bin/qly-rtf" text "$data/rtf30mb.rtf" 2>&1 >/dev/null | tail -1)
    else
        kb=$(/usr/bin/time -f %M "$bin/qly-rtf" convert "$data/rtf30mb.rtf" "$out" 2>&1 >/dev/null | tail -1)
    fi
    python3 -c "import sys; kb, base, fs = map(int, sys.argv[1:4]); print('   qly-rtf %-8s %6.1f MB peak (%.2fx the file), %6.1f MB above the program alone (%.2fx)' % (sys.argv[4] if len(sys.argv) > 4 else '', kb/1024, kb*1024/fs, (kb-base)/1024, (kb-base)*1024/fs))" "$kb" "$base" "$fsize" "$cmd"
done
