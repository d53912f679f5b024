#!/usr/bin/env bash
# Checklists and links through the real menu, keys and mouse: a checklist made with
# Ctrl+Shift+9, one item ticked by a click on its box and one by Ctrl+Space, saved as U+2611;
# a typed https://example.org becomes a link, opened by Ctrl+click and by Ctrl+Enter with the
# desktop's handler (a stub xdg-open on PATH that records the address), saved as a HYPERLINK
# field.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start
app="$X_WORK/app"
app_install "$app"
mkdir -p "$app/rtf" "$X_WORK/bin"
printf '#!/bin/sh\necho "$1" >>"%s/opened"\n' "$X_WORK" >"$X_WORK/bin/xdg-open"
chmod +x "$X_WORK/bin/xdg-open"
PATH="$X_WORK/bin:$PATH" app_start "$app"
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
# Both boxes: the distance of two lines.
read -r _ both < <(convert "$X_WORK/shot.png" -crop "16x60+$((mx + 6))+$((my + 33))" +repage -trim \
    -format '%w %h\n' info:)
line=$((both - bh))
[ "$bw" -lt 16 ] && [ "$bh" -lt 14 ] || fail "no box at the start of the first line"
xdotool mousemove $((mx + 6 + bx + bw / 2)) $((my + 33 + by + bh / 2)) click 1
wait_page_has "$main" '☑ milk' || fail "a click on the box did not tick it"
editor_text "$main" | grep -qF '☑ eggs' || fail "Ctrl+Space did not tick the second item"

# Enter after the last item starts another; Enter on it ends the checklist.
xdotool key ctrl+End Return Return
xdotool type --delay 20 'https://example.org '
wait_page_has "$main" 'https://example.org' || fail "the address did not arrive"
xdotool mousemove $((mx + 6 + bx + 30)) $((my + 33 + by + bh / 2 + 2 * line))
xdotool keydown ctrl click 1 keyup ctrl
wait_file_has "$X_WORK/opened" '^https://example.org$' || fail "Ctrl+click did not open the link"
xdotool key ctrl+End Left Left ctrl+Return
opened_twice() { [ "$(grep -c '^https://example.org$' "$X_WORK/opened")" = 2 ]; }
wait_for opened_twice || fail "Ctrl+Enter did not open the link"

kill -TERM "$APP_PID"
wait_exit "$APP_PID" 20 || fail "the program did not end on SIGTERM"
page="$app/rtf/A.rtf"
[ "$(grep -o '\\u9745' "$page" | wc -l)" = 2 ] || fail "the page does not keep two ticked boxes"
grep -q '\\u9744' "$page" && fail "an open box was saved"
pass "a checklist ticked by click and by Ctrl+Space is saved with U+2611"
grep -qF '{\field{\*\fldinst HYPERLINK "https://example.org"}{\fldrslt' "$page" ||
    fail "the link was not saved as a HYPERLINK field"
pass "a typed address is a link, opened by Ctrl+click and Ctrl+Enter, saved as a field"
