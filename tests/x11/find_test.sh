#!/usr/bin/env bash
# Find in a real X session: opened from the main menu with the mouse and the keyboard, a text
# typed and searched with Enter, an entry clicked and previewed, OK, and the main window then
# shows that page. The page on screen is searched as the editor holds it: what was typed on
# page A since the start is found, and the switch saves it. A screenshot of the dialog goes to build/screenshots/.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
shots="$QLY_BINARY_DIR/screenshots"
mkdir -p "$shots"
app="$X_WORK/app"
app_install "$app"
mkdir -p "$app/rtf"

# Page C made by LibreOffice (formatted, with a non-Latin word), G plain text, A the start page.
cat >"$X_WORK/C.html" <<'HTML'
<!DOCTYPE html><html><head><meta charset="utf-8"></head><body>
<p><b>Orchard</b> notes</p><p>The <span style="color:#c00000">KIWI</span> harvest starts in May.</p>
<p>Киви и яблоки</p></body></html>
HTML
(cd "$X_WORK" && soffice "-env:UserInstallation=file://$X_WORK/lo-profile" --headless \
    --infilter="HTML (StarWriter)" --convert-to "rtf:Rich Text Format" --outdir "$app/rtf" \
    C.html >/dev/null 2>&1) || fail "LibreOffice made no RTF"
[ -s "$app/rtf/C.rtf" ] || fail "no C.rtf"
printf 'Shopping list\r\nkiwis, apples' >"$app/rtf/G.rtf"
printf 'page A as saved' >"$app/rtf/A.rtf"

app_start "$app"
main=$(wait_window Quillery) || fail "no main window"
wait_active "$main" || fail "the main window has no focus"
read -r mx my mw mh <<<"$(win_geometry "$main")"

# Typed on page A, not saved: Find sees it all the same.
xdotool mousemove $((mx + 200)) $((my + 200)) click 1
xdotool key ctrl+End type --delay 20 ' kiwi typed'

# The main menu from the title bar's first button, then Note > Find... by keyboard.
xdotool mousemove $((mx + 10)) $((my + 10)) click 1
wait_menus 1 || fail "the main menu did not open"
xdotool key n
wait_menus 2 || fail "the Note menu did not open"
xdotool key f
dlg=$(wait_window Find) || fail "Find did not open from the main menu"
wait_active "$dlg" || fail "the Find dialog has no focus"
read -r dx dy dw dh <<<"$(win_geometry "$dlg")"
[ "$dw $dh" = "408 265" ] || fail "dialog client area is ${dw}x$dh"
pass "the main menu's Note > Find... opens the 408x265 dialog"

# The focus is in the text field: type and press Enter.
xdotool type --delay 20 kiwi
xdotool key Return
wait_ink $((dx + 10)) $((dy + 96 + 2 + 26)) 30 13 || fail "the list shows no third page"
# Rows A, C and G (13-pixel rows from the list's top at 96): G is the third.
xdotool mousemove $((dx + 20)) $((dy + 96 + 2 + 26 + 6)) click 1
wait_ink $((dx + 56)) $((dy + 96)) 240 30 || fail "the preview shows nothing"
import -window root "$shots/find-dialog.png"
# The preview shows G's text on white: sample a pixel well below its two lines.
[ "$(pixel_at $((dx + 250)) $((dy + 240)))" = "#FFFFFF" ] || fail "the preview is not on white"
# OK is enabled now: click it.
xdotool mousemove $((dx + 324 + 37)) $((dy + 52 + 12)) click 1
wait_gone Find || fail "OK did not close the dialog"

# The main window shows page G: its text, copied out of the editor.
wait_active "$main" || fail "the main window has no focus after OK"
xdotool mousemove $((mx + 200)) $((my + 200)) click 1
xdotool key ctrl+a ctrl+c
clipboard() { xclip -o -selection clipboard 2>/dev/null | tr -d '\r'; }
clipboard_is_g() { [ "$(clipboard)" = $'Shopping list\nkiwis, apples' ]; }
wait_for clipboard_is_g || true
shown=$(clipboard)
[ "$shown" = $'Shopping list\nkiwis, apples' ] || fail "the main window shows '$shown'"
grep -q 'kiwi typed' "$app/rtf/A.rtf" || fail "leaving page A did not save it"
pass "Enter searches, a click and OK switch the main window to page G; A was saved"

kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "program did not end"
grep -qx 'ActivePage=6' "$app/qly.ini" || fail "ActivePage is not G at exit"
pass "page G is the active page at exit"
