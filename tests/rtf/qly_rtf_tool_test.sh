#!/usr/bin/env bash
# The developer tool qly-rtf: text, dump and convert on the hand-made samples.
set -euo pipefail
tool="$QLY_BINARY_DIR/bin/qly-rtf"
samples="$QLY_SOURCE_DIR/tests/rtf/samples"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# text: paragraphs joined by CR LF, one line feed after each file.
"$tool" text "$samples/msftedit541.rtf" > "$tmp/text"
printf 'English na\xc3\xafve r\xc3\xa9sum\xc3\xa9\r\n\xd0\xa0\xd1\x83\xd1\x81\xd1\x81\xd0\xba\xd0\xb8\xd0\xb9 \xd1\x82\xd0\xb5\xd0\xba\xd1\x81\xd1\x82\r\n' > "$tmp/want-head"
head -c "$(stat -c %s "$tmp/want-head")" "$tmp/text" | cmp - "$tmp/want-head" || fail "text of msftedit541.rtf"
grep -q "emoji 😀 end$" "$tmp/text" || fail "emoji in text"
[ "$("$tool" text "$samples/richedit20.rtf" "$samples/textedit.rtf" | grep -c 'last$')" = 1 ] || fail "two files"
# Text is written in pieces: a character of two units where one ends stays whole.
{ printf '{\\rtf1 '; head -c 16383 /dev/zero | tr '\0' a; printf '\\u-10179?\\u-8704? end}'; } > "$tmp/long.rtf"
grep -qx "a\{16383\}😀 end" <("$tool" text "$tmp/long.rtf") || fail "a character split between pieces"
# UTF-8 of one to four bytes; a unit of a pair that stands alone is written '?'.
printf '{\\rtf1 a\\u233?\\u8364?\\u-10179?\\u-8704?\\u-10179? b\\u-8704? c}' > "$tmp/utf8.rtf"
printf 'a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80? b? c\n' | cmp - <("$tool" text "$tmp/utf8.rtf") ||
    fail "UTF-8 of the text"

# dump: JSON with the fields of the issue.
"$tool" dump "$samples/riched20_10.rtf" > "$tmp/dump.json"
for field in '"align": 2' '"text": "Centered bold"' '"font": "Segoe UI"' '"size": 16' '"bold": true' \
             '"italic": false' '"underline": false' '"strike": false' '"color": "#ff0000"' \
             '"background": "#ffff00"' '"color": null'; do
    grep -qF "$field" "$tmp/dump.json" || fail "dump lacks $field"
done

# convert: the same model, and byte-stable from the first save on.
"$tool" convert "$samples/richedit20.rtf" "$tmp/a.rtf"
"$tool" convert "$tmp/a.rtf" "$tmp/b.rtf"
cmp "$tmp/a.rtf" "$tmp/b.rtf" || fail "convert is not byte-stable"
"$tool" dump "$samples/richedit20.rtf" > "$tmp/d1"
"$tool" dump "$tmp/a.rtf" > "$tmp/d2"
cmp "$tmp/d1" "$tmp/d2" || fail "convert changed the model"

# roundtrip: through the editor's document; the text stays, and the second pass is byte-stable.
"$tool" roundtrip "$samples/msftedit541.rtf" "$tmp/r1.rtf"
"$tool" roundtrip "$tmp/r1.rtf" "$tmp/r2.rtf"
cmp "$tmp/r1.rtf" "$tmp/r2.rtf" || fail "roundtrip is not byte-stable"
[ "$("$tool" text "$tmp/r1.rtf")" = "$("$tool" text "$samples/msftedit541.rtf")" ] || fail "roundtrip changed the text"

# Unreadable files: exit status 1 and a message.
set +e
"$tool" text "$tmp/missing.rtf" 2> "$tmp/err"; rc=$?
set -e
[ $rc = 1 ] || fail "exit status $rc for a missing file"
grep -q "cannot read" "$tmp/err" || fail "no message for a missing file"
set +e
"$tool" dump "$tmp" 2>/dev/null; rc=$?
set -e
[ $rc = 1 ] || fail "exit status $rc for a folder"
# A file cut short by another program while it is read: a message and status 1, no crash.
{ printf '{\\rtf1 '; head -c 64000000 /dev/zero | tr '\0' a; printf '}'; } > "$tmp/cut.rtf"
"$tool" text "$tmp/cut.rtf" > "$tmp/cut.txt" 2> "$tmp/err" &
pid=$!
i=0
while [ ! -s "$tmp/cut.txt" ] && ((i++ < 1000)); do sleep 0.01; done # its first text
kill -STOP $pid
truncate -s 100 "$tmp/cut.rtf"
kill -CONT $pid
set +e
wait $pid; rc=$?
set -e
[ $rc = 1 ] || fail "exit status $rc for a file cut short while it was read"
grep -q "cannot read $tmp/cut.rtf: it was cut short" "$tmp/err" || fail "no message for a file cut short"
echo "qly-rtf tool: ok"
