#!/usr/bin/env bash
# A first start with nothing beside the program, page switching, the settings written at
# exit, and a plain-text page written back as RTF.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
app="$X_WORK/app"
app_install "$app"

# --- A first start: defaults, page A, its colour, the page folder made.
app_start "$app"
wid=$(wait_window Quillery) || fail "no main window"
wait_geometry "$wid" "312 200 400 368" || fail "first start geometry is '$(win_geometry "$wid")'"
read -r x y w h <<<"$(win_geometry "$wid")"
xprop -id "$wid" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "not topmost"
[ -d "$app/rtf" ] || fail "rtf folder not made"
[ ! -e "$app/qly.ini" ] || fail "settings written at start-up"
wait_pixel $((x + 200)) $((y + 200)) "#80C0FF" || fail "page A colour is $(pixel_at $((x + 200)) $((y + 200)))"
pass "first start: 400x368 at 312,200, topmost, light blue, rtf made"
# The print service's library (and the twenty-odd it needs) waits until printing asks for it.
grep -q '/libcups\.so' "/proc/$APP_PID/maps" && fail "the print service's library is loaded at start"
pass "a start loads no printing library"

kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "no exit on SIGTERM"
keys=$(sed -n '/^\[Main\]/,/^\[/p' "$app/qly.ini" | grep = | cut -d= -f1 | tr '\n' ' ')
[ "$keys" = "ShowHint StayOnTop MinimizeTo Left Top Width Height Plimsa TitleHeight MinimizedLeft MinimizedTop ActivePage " ] \
    || fail "Main keys: $keys"
grep -qx 'Plimsa=0' "$app/qly.ini" || fail "Plimsa"
grep -qx 'A=16760960' "$app/qly.ini" || fail "colour of A not written at exit"
[ "$(grep -c '^[B-Z]=' "$app/qly.ini")" = 0 ] || fail "colours of pages not shown were written"
[ -e "$app/rtf/A.rtf" ] && fail "A.rtf written though nothing was typed"
pass "exit: twelve keys in order, Plimsa=0, colour of A only, no page written unasked"

# --- A plain-text page, previous and next with wrap-around; pages only viewed are not written.
printf 'plain words\r\nsecond line' >"$app/rtf/A.rtf"
printf 'zed page' >"$app/rtf/Z.rtf"
touch -d '2001-01-01' "$app/rtf/Z.rtf"
app_start "$app"
wid=$(wait_window Quillery) || fail "no main window"
wait_active "$wid" || fail "the main window has no focus"
xdotool type --delay 20 'typed '                         # at the caret: the start of the page
xdotool mousemove $((312 + 32)) $((200 + 10)) click 1   # Previous: A -> Z
wait_file_has "$app/rtf/A.rtf" 'typed plain words' || fail "page A lost its text to the keys typed"
head -c 5 "$app/rtf/A.rtf" | grep -q '{\\rtf' || fail "plain-text page A not written back as RTF"
grep -q 'typed plain words' "$app/rtf/A.rtf" || fail "page A lost its text to the keys typed"
grep -q 'second line' "$app/rtf/A.rtf" || fail "page A lost its second line"
wait_pixel $((312 + 200)) $((200 + 200)) "#80FFFF" || fail "page Z colour is $(pixel_at $((312 + 200)) $((200 + 200)))"
xdotool mousemove $((312 + 100)) $((200 + 10)) click 1  # Next: Z -> A
xdotool mousemove $((312 + 100)) $((200 + 10)) click 1  # Next: A -> B
wait_pixel $((312 + 200)) $((200 + 200)) "#FFFFC0" || fail "Next did not show page B"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "no exit"
grep -qx 'ActivePage=1' "$app/qly.ini" || fail "ActivePage after Next: $(grep ActivePage "$app/qly.ini")"
grep -qx 'B=12648447' "$app/qly.ini" || fail "colour of B not written"
[ -e "$app/rtf/B.rtf" ] && fail "page B, only viewed, was written at exit"
[ "$(date -d @"$(stat -c %Y "$app/rtf/Z.rtf")" +%Y)" = 2001 ] || fail "page Z, only viewed, was rewritten"
[ "$(cat "$app/rtf/Z.rtf")" = 'zed page' ] || fail "page Z lost its text"
pass "keys typed at start-up go before the text, plain text written back as RTF, pages only viewed left alone, Previous on A is Z, Next on Z is A"

# --- A hand-edited ActivePage outside 0..25 shows page A.
sed -i 's/^ActivePage=.*/ActivePage=99/' "$app/qly.ini"
app_start "$app"
wid=$(wait_window Quillery) || fail "no main window"
# A signal while the page still loads ends the program without writing: wait for page A shown.
wait_active "$wid" && wait_pixel $((312 + 200)) $((200 + 200)) "#80C0FF" || fail "page A not shown"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "no exit"
grep -qx 'ActivePage=0' "$app/qly.ini" || fail "ActivePage=99 did not fall back to A"
pass "ActivePage out of range falls back to page A"
