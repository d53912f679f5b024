# Go Mobile as a user drives it, for the X-session tests that copy to a stick. Source it after
# tests/x11/lib.sh.

# Opens Go Mobile from the main menu of the program in window MAIN; prints the dialog's id.
open_go_mobile() {
    local mx my _mw _mh
    read -r mx my _mw _mh <<<"$(win_geometry "$1")"
    xdotool mousemove $((mx + 10)) $((my + 10)) click 1
    wait_menus >/dev/null || fail "the main menu did not open"
    xdotool key n
    wait_menus 2 >/dev/null || fail "the Note menu did not open"
    xdotool key g
    wait_window "Go Mobile"
}
# Starts the copy in dialog DLG as a keyboard user does: Copy holds the focus, Enter copies.
copy_by_enter() {
    wait_active "$1" || fail "the dialog has no focus"
    xdotool key Return
}
