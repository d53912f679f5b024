#!/usr/bin/env bash
# The fixed-size dialogs in a real X session with openbox: Options, Find, Replace and About
# ask for no minimise or maximise in their frames; Find and About are centred on the screen by
# their client area; the About box's web button warns when xdg-open finds no browser (exit 3).
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
app="$X_WORK/app"
app_install "$app"
stub="$X_WORK/stub"
mkdir -p "$stub"
printf '#!/bin/sh\nexit 3\n' >"$stub/xdg-open"
chmod +x "$stub/xdg-open"
PATH="$stub:$PATH" app_start "$app"
main=$(wait_window Quillery) || fail "no main window"
wait_active "$main" || fail "the main window has no focus"
read -r mx my mw mh <<<"$(win_geometry "$main")"

# Opens TITLE from the main menu by KEYS (after the main menu button) or a shortcut.
open_dialog() {
    local title="$1"
    shift
    xdotool windowactivate --sync "$main" 2>/dev/null || true
    if [ "$1" = menu ]; then
        shift
        xdotool mousemove $((mx + 10)) $((my + 10)) click 1
        wait_menus 1 || fail "the main menu did not open"
    fi
    xdotool key "$@"
    wait_window "$title"
}
# Openbox keeps its minimise button on every dialog whatever the hints say (its source: "dont
# let mwm hints kill any buttons"); what the program controls is asked of it: the Motif hints
# offer neither minimise (8) nor maximise (16) among the functions nor the decorations (32, 64),
# and the frame offers no maximise.
no_min_max() {
    local actions hints flags functions decorations
    actions=$(xprop -id "$1" _NET_WM_ALLOWED_ACTIONS)
    echo "$actions" | grep -q MAXIMIZE && fail "$2 can be maximised: $actions"
    hints=$(xprop -id "$1" _MOTIF_WM_HINTS | sed 's/.*= //')
    IFS=', ' read -r flags functions decorations _ <<<"$hints"
    [ $((flags & 3)) = 3 ] || fail "$2 has no Motif functions and decorations: $hints"
    [ $((functions & (1 | 8 | 16))) = 0 ] || fail "$2 offers minimise or maximise: $hints"
    [ $((decorations & (1 | 32 | 64))) = 0 ] || fail "$2 draws minimise or maximise: $hints"
}
centred() { # the client area of $1 is centred on the screen within 3 px
    local x y w h
    read -r x y w h <<<"$(win_geometry "$1")"
    local dx=$((x + w / 2 - 512)) dy=$((y + h / 2 - 384))
    [ "${dx#-}" -le 3 ] && [ "${dy#-}" -le 3 ] || fail "$2 is off centre by $dx,$dy"
}
close_dialog() {
    xdotool windowactivate --sync "$1" 2>/dev/null || true
    xdotool key Escape
    wait_gone "$2" || fail "$2 did not close"
}

for spec in "Find:ctrl+f" "Replace:ctrl+h" "Options:menu o" "About Quillery:menu a"; do
    title=${spec%%:*}
    # shellcheck disable=SC2086
    dlg=$(open_dialog "$title" ${spec#*:}) || fail "$title did not open"
    wait_active "$dlg" || fail "$title has no focus"
    no_min_max "$dlg" "$title"
    case $title in Find | About*) centred "$dlg" "$title" ;; esac
    [ "$title" = "About Quillery" ] || close_dialog "$dlg" "$title"
done
mkdir -p "$QLY_BINARY_DIR/screenshots"
import -window root "$QLY_BINARY_DIR/screenshots/about-centred.png"
pass "Find, Replace, Options and About: no minimise or maximise; Find and About centred"

read -r ax ay aw ah <<<"$(win_geometry "$dlg")"
xdotool mousemove $((ax + 336)) $((ay + 89)) click 1 # Visit Web Site
w=$(wait_window Warning) || fail "no warning when xdg-open found no browser"
xdotool windowactivate --sync "$w" key Return
wait_gone Warning || fail "the warning stayed"
pass "xdg-open exits 3: the About box warns"
