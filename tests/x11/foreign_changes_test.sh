#!/usr/bin/env bash
# Pages that other programs touch, in a real X session. A sync client replaces the page shown:
# with nothing typed the new text shows and is never written back; with typing both texts
# are kept, the other as a conflict version even with Versions=0. A page replaced after a kill
# still has its recovery copy offered. A page that is a link to a file outside is read-only and
# the file is left alone; a pipe as the settings file does not hold the start up.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
app="$X_WORK/app"
app_install "$app"
mkdir -p "$app/rtf"
printf '[Backup]\nVersions=0\n' >"$app/qly.ini"
printf '{\\rtf1\\ansi first text\\par}' >"$app/rtf/A.rtf"
printf '{\\rtf1\\ansi page B\\par}' >"$app/rtf/B.rtf"

# The title bar's Previous and Next buttons.
prev_page() { local x y _w _h; read -r x y _w _h < <(win_geometry "$1"); xdotool mousemove $((x + 32)) $((y + 10)) click 1; }
next_page() { local x y _w _h; read -r x y _w _h < <(win_geometry "$1"); xdotool mousemove $((x + 100)) $((y + 10)) click 1; }
shows() { [ "$(editor_text "$1")" = "$2" ]; }
conflicts() { find "$app/backup" -name 'A.conflict-*.rtf' 2>/dev/null | sort; }
text_of() { "$QLY_BINARY_DIR/bin/qly-rtf" text "$1" | tr -d '\n'; }

# --- Replaced while shown, nothing typed: shown at once, never written back.
app_start "$app"
main=$(wait_window Quillery) || fail "no main window"
wait_for shows "$main" 'first text' || fail "page A not shown"
start=$(date +%s%N)
replace_file "$app/rtf/A.rtf" '{\rtf1\ansi synced text\par}'
synced=$(md5sum <"$app/rtf/A.rtf")
wait_for shows "$main" 'synced text' || fail "the replaced page was not shown: $(editor_text "$main")"
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
next_page "$main"
wait_for shows "$main" 'page B' || fail "page B not shown"
[ "$(md5sum <"$app/rtf/A.rtf")" = "$synced" ] || fail "the page only viewed was written back"
pass "a page replaced while shown is shown in ${elapsed_ms} ms and not written back"

# --- Replaced while typed on: the user's text saved, the other kept as a conflict version.
prev_page "$main"
wait_for shows "$main" 'synced text' || fail "page A not back"
xdotool type --delay 10 ' mine'
wait_for shows "$main" 'synced text mine' || fail "typing did not reach the page"
replace_file "$app/rtf/A.rtf" '{\rtf1\ansi their text\par}'
next_page "$main"
answer_box "$main" || fail "no message about the conflict"
[ "$(text_of "$app/rtf/A.rtf")" = 'synced text mine' ] || fail "A.rtf holds: $(text_of "$app/rtf/A.rtf")"
[ "$(conflicts | wc -l)" = 1 ] || fail "conflict versions: $(conflicts)"
[ "$(text_of "$(conflicts)")" = 'their text' ] || fail "the other text was not kept"
[ -e "$app/backup/A.1.rtf" ] && fail "Versions=0 kept a version"
pass "both changed: the page saved, the other text in $(basename "$(conflicts)"), one message"

# --- A kill, a newer page file, a restart: the copy is still offered, and Restore keeps the
# newer file as a version first.
prev_page "$main"
wait_for shows "$main" 'synced text mine' || fail "page A not back"
xdotool type --delay 10 ' before kill'
wait_for test -f "$app/recovery/A.rtf" || fail "no recovery copy"
kill -KILL "$APP_PID"
wait_exit "$APP_PID" || fail "the program did not end"
replace_file "$app/rtf/A.rtf" '{\rtf1\ansi newer from sync\par}'
app_start "$app"
main=$(wait_window Quillery) || fail "no main window after the kill"
answer_box "$main" || fail "the recovery copy was not offered"
wait_for shows "$main" 'synced text mine before kill' || fail "not restored: $(editor_text "$main")"
[ "$(conflicts | wc -l)" = 2 ] || fail "the newer page file was not kept: $(conflicts)"
conflicts | xargs -n1 "$QLY_BINARY_DIR/bin/qly-rtf" text | grep -q 'newer from sync' || \
    fail "the newer page is not among the versions"
pass "a recovery copy older than its page is offered, and Restore keeps the page first"

# --- Links to files outside the notes: read-only, the files left alone.
printf 'outside words' >"$X_WORK/outside.txt"
ln -s "$X_WORK/outside.txt" "$app/rtf/C.rtf"
ln -s "$X_WORK/missing.txt" "$app/rtf/D.rtf"
next_page "$main"                       # A -> B, saving the restored text
wait_for shows "$main" 'page B' || fail "page B not shown"
next_page "$main"                       # B -> C, a link
answer_box "$main" || fail "no message for the link C.rtf"
xdotool type --delay 10 'typed'
next_page "$main"                       # C -> D, a link to nothing
answer_box "$main" || fail "no message for the link D.rtf"
next_page "$main"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "no exit on SIGTERM"
[ "$(cat "$X_WORK/outside.txt")" = 'outside words' ] || fail "the file outside was written"
[ -e "$X_WORK/missing.txt" ] && fail "a link to nothing created a file outside"
[ "$(readlink "$app/rtf/C.rtf")" = "$X_WORK/outside.txt" ] || fail "the link C.rtf was replaced"
find "$app/backup" -type l | grep -q . && fail "a version is a link"
grep -q 'before kill' "$app/rtf/A.rtf" || fail "the restored text was not saved"
pass "pages that are links are read-only, the files they point to untouched"

# --- A pipe as the settings file: the start goes on, with a message.
rm -f "$app/qly.ini"
mkfifo "$app/qly.ini"
start=$(date +%s%N)
app_start "$app"
# The message comes before the window, which shows once it is answered.
box=$(wait_window Quillery) || fail "the start hangs on a pipe as qly.ini"
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$elapsed_ms" -lt 2000 ] || fail "the message came after ${elapsed_ms} ms"
read -r _ _ bw bh <<<"$(win_geometry "$box")"
[ "$bw x $bh" != "400 x 368" ] || fail "the main window came without a message"
wait_for xdotool windowactivate --sync "$box" 2>/dev/null || true
xdotool key Return
main=$(wait_for sh -c "xdotool search --onlyvisible --name '^Quillery\$' | grep -vx '$box'") || \
    fail "no main window after the message"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "no exit on SIGTERM with a pipe as qly.ini"
[ -p "$app/qly.ini" ] || fail "the pipe was replaced"
pass "a pipe as qly.ini: a message after ${elapsed_ms} ms, then the window"
