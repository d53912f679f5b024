#!/usr/bin/env bash
# Crash recovery in a real X session: text typed on page A, the program killed, started again:
# the recovery box offers the text, Restore puts it back in the editor, and the next switch
# saves it to the page file; a second start meanwhile leaves the copy alone. A screenshot of
# the box goes to build/screenshots/.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
shots="$QLY_BINARY_DIR/screenshots"
mkdir -p "$shots"
app="$X_WORK/app"
app_install "$app"
mkdir -p "$app/rtf"
printf '{\\rtf1\\ansi saved words\\par}' >"$app/rtf/A.rtf"

app_start "$app"
main=$(wait_window Quillery) || fail "no main window"
wait_drawn "$main" || fail "the main window is not drawn"
read -r mx my _ _ <<<"$(win_geometry "$main")"
xdotool mousemove $((mx + 200)) $((my + 200)) click 1
xdotool key ctrl+End type --delay 20 ' and recovered words'
# The copy comes two seconds after the last key (more on a busy machine).
for _ in $(seq 200); do [ -f "$app/recovery/A.rtf" ] && break; sleep 0.05; done
[ -f "$app/recovery/A.rtf" ] || fail "no recovery copy after a pause in typing"
kill -KILL "$APP_PID"
wait_exit "$APP_PID" || fail "the program did not end"
grep -q 'recovered' "$app/rtf/A.rtf" && fail "the page file was written before the kill"

app_start "$app"
box=""
for _ in $(seq 200); do
    # The box has the program's caption too, and is not the main window's size.
    for w in $(xdotool search --onlyvisible --name '^Quillery$' 2>/dev/null); do
        read -r _ _ ww wh <<<"$(win_geometry "$w")" || continue # gone meanwhile
        [ "$ww x $wh" != "400 x 368" ] && box=$w
    done
    [ -n "$box" ] && break
    sleep 0.05
done
[ -n "$box" ] || fail "no recovery box at the next start"
read -r bx by bw bh <<<"$(win_geometry "$box")"
wait_ink "$bx" "$by" "$bw" "$bh" || fail "the recovery box is not drawn"
import -window root "$shots/recovery-box.png"
# Restore is the default button. Under load the window manager may not take the activation at
# the first request: ask again.
for _ in $(seq 20); do xdotool windowactivate --sync "$box" 2>/dev/null && break; sleep 0.2; done
xdotool key Return
main=$(wait_window Quillery) || fail "no main window after the box"
wait_drawn "$main" || fail "the main window is not drawn after the box"
read -r mx my _ _ <<<"$(win_geometry "$main")"
xdotool mousemove $((mx + 200)) $((my + 200)) click 1
xdotool key ctrl+a ctrl+c
for _ in $(seq 60); do
    clip="$(xclip -o -selection clipboard 2>/dev/null)"
    [ "$clip" = 'saved words and recovered words' ] && break
    sleep 0.05
done
[ "$clip" = 'saved words and recovered words' ] || fail "the editor holds: $clip"

# A second start only brings this one forward: it leaves the copy alone.
timeout 10 "$app/qly" >/dev/null 2>&1 || fail "a second start did not end by itself"
[ -f "$app/recovery/A.rtf" ] || fail "a second start removed the copy"

# The next switch saves the restored text, and the copy goes.
xdotool mousemove $((mx + 4 + 100)) $((my + 4 + 10)) click 1
for _ in $(seq 120); do grep -q 'recovered' "$app/rtf/A.rtf" && break; sleep 0.05; done
grep -q 'and recovered words' "$app/rtf/A.rtf" || fail "the switch did not save the restored text"
[ -f "$app/recovery/A.rtf" ] && fail "the recovery copy was kept after the save"
pass "the recovery box restores the text typed before a kill"
