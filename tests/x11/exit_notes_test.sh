#!/usr/bin/env bash
# SIGTERM (log-out) never waits on a box: with a conflict due at the close, with a save that
# fails (a read-only page folder) and with a box already open, the program ends within 2 s.
# What the close had to say is shown at the next start as a notice that holds nothing, and
# the recovery box says why its copy exists.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
run_in_mount_namespace "a read-only page folder" "$@"
x_start 1024x768
app="$X_WORK/app"
app_install "$app"
mkdir -p "$app/rtf"
printf '{\\rtf1\\ansi first text\\par}' >"$app/rtf/A.rtf"
printf '{\\rtf1\\ansi page B\\par}' >"$app/rtf/B.rtf"

text_of() { "$QLY_BINARY_DIR/bin/qly-rtf" text "$1" | tr -d '\n'; }
conflicts() { find "$app/backup" -name 'A.conflict-*.rtf' 2>/dev/null | sort; }
# Sends SIGTERM and fails unless the program is gone within 2 s.
terminate_within_2s() {
    local start elapsed
    start=$(date +%s%N)
    kill -TERM "$APP_PID"
    wait_exit "$APP_PID" 5 || fail "the program still runs 5 s after SIGTERM ($1)"
    elapsed=$((($(date +%s%N) - start) / 1000000))
    [ "$elapsed" -le 2000 ] || fail "the program ended $elapsed ms after SIGTERM ($1)"
    echo "ended $elapsed ms after SIGTERM ($1)"
}
# The program's box BOX is up and the console says TEXT (the program writes its notices and
# the recovery box's text there too).
box_says() { wait_file_has "$X_WORK/app.log" "$1"; }
start_main() {
    app_start "$app"
    main=$(wait_window Quillery) || fail "no main window"
    wait_drawn "$main" || fail "the main window is not drawn"
}

# --- Another program replaces the page while it is typed on, then the log-out.
start_main
wait_page_has "$main" 'first text' || fail "page A not shown"
xdotool type --delay 10 ' mine'
wait_page_has "$main" 'first text mine' || fail "typing did not reach the page"
replace_file "$app/rtf/A.rtf" '{\rtf1\ansi their text\par}'
terminate_within_2s "a conflict due"
[ "$(text_of "$app/rtf/A.rtf")" = 'first text mine' ] || fail "A.rtf holds: $(text_of "$app/rtf/A.rtf")"
[ "$(text_of "$(conflicts)")" = 'their text' ] || fail "the other text was not kept: $(conflicts)"
start_main
notice=$(wait_for message_box "$main") || fail "no notice at the next start"
box_says 'When Quillery last closed:' || fail "the notice does not say where it comes from"
box_says 'Another program changed page A' || fail "the notice does not name the conflict"
# The notice holds nothing: the page can be typed on while it is open (beside the window).
xdotool windowmove "$notice" 0 0
# Under load the window manager may still be busy with the notice: ask until the main window
# has the focus, then type.
_activated() { xdotool windowactivate "$1" 2>/dev/null; _is_active "$1"; }
wait_for _activated "$main" || fail "the main window cannot be activated beside the notice"
xdotool type --delay 10 ' more'
wait_page_has "$main" 'first text mine more' || fail "the notice held the window"
[ -e "$app/recovery/closing-notes.txt" ] && fail "the notes were not taken"
answer_box "$main" || fail "the notice did not close"
pass "a conflict at SIGTERM: ended in time, named by a notice at the next start"

# --- A box already open (a conflict on a page switch), then the log-out.
replace_file "$app/rtf/A.rtf" '{\rtf1\ansi theirs again\par}'
read -r mx my _ _ < <(win_geometry "$main")
xdotool mousemove $((mx + 100)) $((my + 10)) click 1
wait_for message_box "$main" >/dev/null || fail "no conflict box on the switch"
terminate_within_2s "a box open"
pass "a box open at SIGTERM: ended in time"

# --- The save fails at the close: the page folder went read-only (page B is shown now).
# The bind mount comes first: the program holds its page folder open from the start, and a
# read-only remount reaches writes only through the mount that folder was opened on.
mount --bind "$app/rtf" "$app/rtf"
start_main
xdotool type --delay 10 ' unsaved'
wait_page_has "$main" ' unsaved' || fail "typing did not reach the page"
mount -o remount,ro,bind "$app/rtf"
terminate_within_2s "a failed save"
grep -q unsaved "$app/rtf/"*.rtf && fail "a read-only page was written"
umount "$app/rtf"
start_main
wait_for message_box "$main" >/dev/null || fail "no boxes at the next start"
box_says 'Page B could not be saved when Quillery closed' ||
    fail "the recovery box does not say the save failed at the close"
grep -q 'not closed properly' "$X_WORK/app.log" && fail "the recovery box says the program crashed"
box_says 'Read-only file system' || fail "no notice naming the failed save"
pass "a failed save at SIGTERM: ended in time, the notice and the recovery box say why"
