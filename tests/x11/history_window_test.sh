#!/usr/bin/env bash
# The page history window in a real X session, at scale 1 and 2: opened by its key, with the
# conflict copies of Nextcloud and Dropbox that the test makes listed beside the page, whole on
# the screen. QLY_SCREENSHOTS=DIR keeps the pictures.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1280x900
shots="${QLY_SCREENSHOTS:-$X_WORK/shots}"
mkdir -p "$shots"
for scale in 1 2; do
    app="$X_WORK/app$scale"
    app_install "$app"
    mkdir -p "$app/rtf" "$app/backup"
    printf '{\\rtf1\\ansi {\\b Shopping list}\\par apples, bread and milk\\par}' >"$app/rtf/C.rtf"
    printf '{\\rtf1\\ansi {\\b Shopping list}\\par apples and milk\\par}' >"$app/backup/C.1.rtf"
    touch -d '-1 hour' "$app/backup/C.1.rtf"
    cloud="$app/rtf/C (conflicted copy 2026-12-10 101010).rtf"
    printf 'Shopping list from the cloud\r\nplums' >"$cloud"
    touch -d '-2 hours' "$cloud"
    box="$app/rtf/C (Anna's conflicted copy 2026-12-10).rtf"
    printf '{\\rtf1\\ansi Shopping list from the box\\par}' >"$box"
    touch -d '-3 hours' "$box"
    printf '[Main]\nActivePage=2\n' >"$app/qly.ini"
    QT_SCALE_FACTOR=$scale app_start "$app"
    wid=$(wait_window Quillery) || fail "no main window at scale $scale"
    wait_drawn "$wid" || fail "the main window is not drawn"
    wait_active "$wid" || xdotool windowactivate --sync "$wid"
    xdotool key ctrl+shift+h
    history=$(wait_window "Page history") || fail "ctrl+shift+h opened no history at scale $scale"
    wait_drawn "$history" || fail "the history is not drawn"
    read -r x y w h < <(win_geometry "$history")
    [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le 1280 ] && [ $((y + h)) -le 900 ] ||
        fail "the history at scale $scale is not whole on the screen: $x $y $w $h"
    # The sync tools' copies are pages of the history, never pages of their own: page C's file
    # and both copies are as they were.
    grep -q plums "$cloud" && grep -q "from the box" "$box" || fail "a copy was changed"
    import -window root "$shots/history-scale$scale.png"
    xdotool key Escape
    wait_gone "Page history" || fail "Escape did not close the history"
    kill -TERM "$APP_PID"
    wait_exit "$APP_PID" 5 || fail "the program did not end"
    ls "$app/rtf" | grep -qv '^C\.rtf$\|conflicted copy' && fail "a page was made of a copy: $(ls "$app/rtf")"
    pass "the history at scale $scale: $w x $h at $x,$y ($shots/history-scale$scale.png)"
done
