#!/usr/bin/env bash
# Checklists and links through the real menu, keys and mouse: a checklist made with
# Ctrl+Shift+9, one item ticked by a click on its box and one by Ctrl+Space, saved as U+2611.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start
app="$X_WORK/app"
app_install "$app"
mkdir -p "$app/rtf"
app_start "$app"
main=$(wait_window Quillery) || fail "no main window"
wait_drawn "$main" || fail "the main window is not drawn"
focus_new_window "$main" || fail "the main window has no focus"
read -r mx my mw mh <<<"$(win_geometry "$main")"
xdotool mousemove $((mx + 200)) $((my + 200)) click 1
xdotool type --delay 20 'milk'
xdotool key ctrl+shift+9 End Return
xdotool type --delay 20 'eggs'
xdotool key ctrl+space
wait_page_has "$main" 'eggs' || fail "the typing did not arrive"
# The first item's box: what is drawn at the start of the page's first line.
import -window root "$X_WORK/shot.png"
read -r bw bh bx by < <(convert "$X_WORK/shot.png" -crop "16x14+$((mx + 6))+$((my + 33))" +repage -trim \
    -format '%w %h %X %Y\n' info: | tr -d '+')
[ "$bw" -lt 16 ] && [ "$bh" -lt 14 ] || fail "no box at the start of the first line"
xdotool mousemove $((mx + 6 + bx + bw / 2)) $((my + 33 + by + bh / 2)) click 1
wait_page_has "$main" '☑ milk' || fail "a click on the box did not tick it"
editor_text "$main" | grep -qF '☑ eggs' || fail "Ctrl+Space did not tick the second item"

kill -TERM "$APP_PID"
wait_exit "$APP_PID" 20 || fail "the program did not end on SIGTERM"
page="$app/rtf/A.rtf"
[ "$(grep -o '\\u9745' "$page" | wc -l)" = 2 ] || fail "the page does not keep two ticked boxes"
grep -q '\\u9744' "$page" && fail "an open box was saved"
pass "a checklist ticked by click and by Ctrl+Space is saved with U+2611"
