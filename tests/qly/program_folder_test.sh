#!/usr/bin/env bash
# A program folder whose name is not valid UTF-8 (an old stick's Latin-1 name): the program
# keeps its pages and settings inside that folder and writes nothing anywhere else.
set -euo pipefail
: "${QLY_BINARY_DIR:?run me through ctest}"
fail() { echo "FAIL: $*" >&2; exit 1; }

work="$(mktemp -d /tmp/qly-folder.XXXXXX)"
trap 'rm -rf "$work"' EXIT
dir="$work/caf"$'\xe9'
mkdir -p "$dir/rtf" "$work/run"
chmod 700 "$work/run"
cp "$QLY_BINARY_DIR/Quillery/qly" "$dir/qly"
printf '{\\rtf1\\ansi kept page\\par}' >"$dir/rtf/A.rtf"
printf '[Main]\nTitleHeight=31\n[Print]\nCopies=3\n' >"$dir/qly.ini"
root_before="$(ls -A /)"

XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen "$dir/qly" >"$work/log" 2>&1 &
pid=$!
for _ in $(seq 100); do [ -n "$(ls -A "$work/run")" ] && break; sleep 0.05; done
sleep 1
kill -TERM "$pid"
wait "$pid" || true

grep -q 'kept page' "$dir/rtf/A.rtf" || fail "the page was not kept: $(cat "$dir/rtf/A.rtf")"
grep -q '^TitleHeight=31' "$dir/qly.ini" || fail "the settings were not read from the folder"
grep -q '^ActivePage=0' "$dir/qly.ini" || fail "the settings were not written into the folder"
grep -q '^Copies=3' "$dir/qly.ini" || fail "another section was lost"
[ "$(ls -A /)" = "$root_before" ] || fail "something appeared at the root: $(ls -A /)"
[ -z "$(find "$work" -maxdepth 1 -newer "$dir/qly" ! -path "$work" ! -name run ! -name log \
    ! -name "$(basename "$dir")")" ] || fail "something appeared beside the folder"
echo "PASS: a program folder named with the byte 0xE9 keeps its pages and settings"
