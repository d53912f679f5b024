#!/usr/bin/env bash
# Help in a real X session: F1 opens the contents in front of the main window, and nothing at
# all without a help file; the about box with no way to open web or mail addresses warns and
# stays open, and its Help opens a viewer that works while the box is open. Screenshots of the
# about box and of the help viewer on the options page go to build/screenshots/.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
shots="$QLY_BINARY_DIR/screenshots"
mkdir -p "$shots"
chm="$QLY_BINARY_DIR/Quillery/qly.chm"
driver="$QLY_BINARY_DIR/bin/qly-window-driver"
[ -f "$chm" ] || fail "no help file at $chm"
app="$X_WORK/app"
app_install "$app"
cp "$chm" "$app/qly.chm"

visible_windows() { xdotool search --onlyvisible --name '.' 2>/dev/null | sort | tr '\n' ' '; }
# Shows the next page and waits until it is painted: every key and click sent before it has
# been handled by then, so a window they would have opened would be there.
next_page_painted() {
    local before
    before=$(pixel_at $((mx + 200)) $((my + 200)))
    xdotool mousemove $((mx + 4 + 92 + 8)) $((my + 4 + 10)) click 1
    wait_pixel_not $((mx + 200)) $((my + 200)) "$before"
}

# --- F1 in the main window opens the contents, above the main window that stays on top.
app_start "$app"
main=$(wait_window Quillery) || fail "no main window"
wait_active "$main" || fail "the main window has no focus"
read -r mx my mw mh <<<"$(win_geometry "$main")"
xdotool mousemove $((mx + 200)) $((my + 200)) click 1
xdotool key F1
help=$(wait_window "Quillery Help") || fail "F1 opened no help window"
wait_pixel_not $((mx + 200)) $((my + 200)) "#80C0FF" || fail "the help window is behind the main window"
import -window root "$shots/help-contents.png"
pass "F1 opens the help contents in front of the main window"

# --- Without the help file, F1 shows nothing and says nothing.
xdotool windowactivate --sync "$help" key alt+F4
wait_gone "Quillery Help" || fail "help window did not close"
rm "$app/qly.chm"
before=$(visible_windows)
xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool mousemove $((mx + 200)) $((my + 200)) click 1 key F1
next_page_painted || fail "the main window did not answer after F1"
after=$(visible_windows)
[ "$before" = "$after" ] || fail "a window appeared without a help file: '$before' -> '$after'"
pass "F1 with the help file removed shows nothing and no message"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "program did not end"

# A fresh start without a help file: the first F1 shows nothing either.
app_start "$app"
main=$(wait_window Quillery) || fail "no main window"
wait_active "$main" || fail "the main window has no focus"
before=$(visible_windows)
xdotool mousemove $((mx + 200)) $((my + 200)) click 1 key F1
next_page_painted || fail "the main window did not answer after F1"
[ "$before" = "$(visible_windows)" ] || fail "F1 on a fresh start without help showed a window"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "program did not end"
pass "a fresh start without a help file: F1 shows nothing"

# --- The about box where no browser or mail program can be found: no xdg-open, no other
# browser on PATH, no BROWSER variable.
drv="$X_WORK/drv"
mkdir -p "$drv" "$X_WORK/home"
cp "$driver" "$drv/qly-window-driver"
cp "$chm" "$drv/qly.chm"
env -i DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" HOME="$X_WORK/home" \
    PATH="$X_WORK/nothing" QT_QPA_PLATFORM=xcb \
    "$drv/qly-window-driver" about >"$X_WORK/about.log" 2>&1 &
about_pid=$!
_x_pids+=($about_pid)
about=$(wait_window "About Quillery") || fail "no about box"
wait_active "$about" || fail "the about box has no focus"
read -r ax ay aw ah <<<"$(win_geometry "$about")"
[ "$aw $ah" = "395 258" ] || fail "about box client area is ${aw}x$ah"
[ $((ax + aw / 2)) -ge 510 ] && [ $((ax + aw / 2)) -le 514 ] || fail "not centred across: $ax"
import -window root "$shots/about.png"
pass "about box: 395x258, centred"

warning_text() { # clicks at X,Y in the about box and prints the warning box it brings up
    local boxes w
    boxes=$(grep -c '^box ' "$X_WORK/about.log" || true)
    xdotool mousemove $((ax + $1)) $((ay + $2)) click 1
    w=$(wait_window Warning) || { echo "no warning box"; return; }
    wait_active "$w" || echo "the warning box has no focus"
    [ -n "${warning_shot:-}" ] || { warning_shot=1; import -window root "$shots/about-warning.png"; }
    [ "$(grep -c '^box ' "$X_WORK/about.log")" = $((boxes + 1)) ] || echo "not one box"
    grep '^box ' "$X_WORK/about.log" | tail -n1
    xdotool windowactivate --sync "$w" key Return
    wait_gone Warning || echo "warning box stayed"
}
t=$(warning_text 336 89)      # Visit Web Site
[ "$t" = "box Warning|Can't execute default browser" ] || fail "web site: '$t'"
t=$(warning_text 336 123)     # E-mail
[ "$t" = "box Warning|Can't execute default emailer" ] || fail "e-mail: '$t'"
t=$(warning_text $((73 + 20)) $((166 + 8)))  # the address
[ "$t" = "box Warning|Can't execute default emailer" ] || fail "address: '$t'"
xdotool search --onlyvisible --name "^About Quillery\$" >/dev/null || fail "about box closed"
pass "no browser and no mailer: both warnings, captioned Warning; the box stays open"

# --- Help from the about box: the viewer opens and answers while the box is open.
xdotool mousemove $((ax + 336)) $((ay + 55)) click 1
help=$(wait_window "Quillery Help") || fail "Help in the about box opened nothing"
wait_file_has "$X_WORK/about.log" '^topic HTML/welcome.htm$' || fail "help did not open at the contents"
read -r hx hy hw hh <<<"$(win_geometry "$help")"
# The contents tree: click its first entry, then walk down it with the keyboard.
xdotool mousemove $((hx + 60)) $((hy + 45)) click 1
xdotool key Down Down
two_topics() { [ "$(grep -c '^topic ' "$X_WORK/about.log")" -ge 2 ]; }
wait_for two_topics || fail "the help viewer did not answer while the about box was open: $(cat "$X_WORK/about.log")"
pass "Help in the about box: the contents open, and the viewer can be used"
xdotool windowactivate --sync "$help" key alt+F4
wait_gone "Quillery Help" || fail "help window did not close"
xdotool windowactivate --sync "$about" key Return
wait_exit "$about_pid" 5 || fail "OK did not close the about box"
grep -q '^about closed$' "$X_WORK/about.log" || fail "about box did not close"
pass "OK closes the about box"

# --- The help viewer on the options page, for the screenshot.
"$driver" help "$chm" HTML/qly5a40.htm >"$X_WORK/help.log" 2>&1 &
_x_pids+=($!)
help=$(wait_window "Quillery Help") || fail "no help window on the options page"
wait_file_has "$X_WORK/help.log" '^topic HTML/qly5a40.htm$' || fail "options page not shown"
import -window root "$shots/help-options.png"
pass "help viewer on the options page"
