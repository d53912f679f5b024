#!/usr/bin/env bash
# Lists made through the real menu and keys: three lines made a bulleted list from the Format
# menu, the second moved a level down with Tab, Enter on an empty item ending the list, two
# more lines numbered with Ctrl+Shift+7, the second moved down and a third one up; saved at the end of the
# session and read by LibreOffice, which shows the bullets and the "1." / "1.1." labels.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
_no_menus() { ! _menus_open 1; }
command -v soffice >/dev/null || { echo "SKIP: LibreOffice is not installed"; exit 77; }
x_start
app="$X_WORK/app"
app_install "$app"
mkdir -p "$app/rtf"
app_start "$app"
main=$(wait_window Quillery) || fail "no main window"
wait_drawn "$main" || fail "the main window is not drawn"
focus_new_window "$main" || fail "the main window has no focus"
read -r mx my _ _ <<<"$(win_geometry "$main")"
xdotool mousemove $((mx + 200)) $((my + 200)) click 1
xdotool type --delay 20 'one'
xdotool key Return type --delay 20 'two'
xdotool key Return type --delay 20 'three'
xdotool key ctrl+a

xdotool mousemove $((mx + 10)) $((my + 10)) click 1
wait_menus 1 || fail "the main menu did not open"
xdotool key f
wait_menus 2 || fail "the Format menu did not open"
xdotool key b
wait_for _no_menus || fail "the menu did not close"
xdotool key ctrl+Home Down Home Tab
# Enter on the empty item after the last one ends the list.
xdotool key ctrl+End Return Return
xdotool type --delay 20 'four'
xdotool key Return type --delay 20 'five'
xdotool key shift+Up ctrl+shift+7 ctrl+End Home Tab
# A last item at level 0 (LibreOffice 7.4 reads the level of a page's last paragraph as 0).
xdotool key End Return shift+Tab type --delay 20 'six'
wait_page_has "$main" 'six' || fail "the typing did not arrive"

kill -TERM "$APP_PID"
wait_exit "$APP_PID" 20 || fail "the program did not end on SIGTERM"
page="$app/rtf/A.rtf"
[ -s "$page" ] || fail "the page was not saved"
grep -q '\\listtable' "$page" || fail "no list table in the page"
grep -q '\\ls1\\ilvl1' "$page" || fail "no item at the second level of the bulleted list"
grep -q '\\ls2\\ilvl1' "$page" || fail "no item at the second level of the numbered list"

(cd "$X_WORK" && soffice "-env:UserInstallation=file://$X_WORK/lo-profile" --headless \
    --convert-to "txt:Text (encoded):UTF8" --outdir "$X_WORK/lo" "$page" >/dev/null 2>&1) ||
    fail "LibreOffice did not read the page"
shown="$X_WORK/lo/A.txt"
[ -s "$shown" ] || fail "LibreOffice made no text"
sed -i '1s/^\xEF\xBB\xBF//' "$shown" # its byte-order mark
grep -qP '^\s*•\s*one$' "$shown" || fail "no bullet on the first item"
grep -qP '^\s*◦\s*two$' "$shown" || fail "no second-level bullet on the second item"
grep -qP '^\s*•\s*three$' "$shown" || fail "no bullet on the third item"
grep -qP '^\s*1\.\s*four$' "$shown" || fail "no 1. on the first numbered item"
grep -qP '^\s*1\.1\.\s*five$' "$shown" || fail "no 1.1. on the second numbered item"
grep -qP '^\s*2\.\s*six$' "$shown" || fail "no 2. on the third numbered item"
[ "$(grep -c . "$shown")" = 6 ] || fail "LibreOffice shows more than the six items"
pass "lists made by menu and keys are read by LibreOffice with their labels"
